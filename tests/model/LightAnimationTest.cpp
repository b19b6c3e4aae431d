#include <gtest/gtest.h>

#include <cmath>

#include "model/motion/LightAnimation.h"
#include "model/motion/SelfShadowAnimation.h"

using namespace Vesma;
using Math::vec3;

namespace {

VMDLightKey Light(uint32_t frame, vec3 color, vec3 fileDirection) { return {frame, color, fileDirection}; }

void ExpectVecNear(const vec3& expected, const vec3& actual, float tolerance = 1e-6f) {
    EXPECT_NEAR(expected.x, actual.x, tolerance);
    EXPECT_NEAR(expected.y, actual.y, tolerance);
    EXPECT_NEAR(expected.z, actual.z, tolerance);
}

TEST(LightAnimation, StraightLinesBetweenKeysAndCutsOneFrameApart) {
    LightAnimation light;
    // Keys out of order in the file are sorted.
    const VMDLightKey keys[] = {Light(30, {1.0f, 0.0f, 0.5f}, {0, -1, 1}), Light(0, {0.0f, 1.0f, 0.5f}, {1, -1, 0}),
                                Light(100, {0.2f, 0.2f, 0.2f}, {0, 0, 1}), Light(101, {0.9f, 0.9f, 0.9f}, {0, 0, -1})};
    ASSERT_TRUE(light.Build(keys));
    light.Evaluate(15.0f);
    ExpectVecNear({0.5f, 0.5f, 0.5f}, light.State().color);
    // Half way between (1, -1, 0) and (0, -1, 1), with the file's z mirrored.
    ExpectVecNear({0.5f, -1.0f, -0.5f}, light.State().direction);
    // Towards the light: reversed and of unit length.
    const float n = 1.0f / std::sqrt(1.5f);
    ExpectVecNear({-0.5f * n, n, 0.5f * n}, *LightAnimation::TowardsLight(light.State()));

    light.Evaluate(100.5f);
    ExpectVecNear({0.2f, 0.2f, 0.2f}, light.State().color);
    light.Evaluate(101.0f);
    ExpectVecNear({0.9f, 0.9f, 0.9f}, light.State().color);
    ExpectVecNear({0, 0, 1}, light.State().direction);
    light.Evaluate(5000.0f);
    ExpectVecNear({0.9f, 0.9f, 0.9f}, light.State().color);
    light.Evaluate(-3.0f);
    ExpectVecNear({0.0f, 1.0f, 0.5f}, light.State().color);
    // Back from the end: the search starts over.
    light.Evaluate(45.0f);
    ExpectVecNear({0.8285714f, 0.0428571f, 0.4357143f}, light.State().color, 1e-5f);
}

TEST(LightAnimation, NoKeysAndZeroDirections) {
    LightAnimation light;
    EXPECT_FALSE(light.Build(std::span<const VMDLightKey>()));
    EXPECT_TRUE(light.Empty());
    const LightState before = light.State();
    light.Evaluate(10.0f);
    ExpectVecNear(before.color, light.State().color);
    LightState zero;
    zero.direction = {0, 0, 0};
    EXPECT_FALSE(LightAnimation::TowardsLight(zero).has_value());
    zero.direction = {NAN, 0, 1};
    EXPECT_FALSE(LightAnimation::TowardsLight(zero).has_value());
}

TEST(SelfShadowAnimation, ModeHoldsUntilTheNextKeyDistanceRunsStraight) {
    SelfShadowAnimation shadow;
    const VMDShadowKey keys[] = {{0, 1, 0.01f}, {30, 0, 0.03f}, {60, 2, 0.05f}, {61, 0, 0.07f}};
    ASSERT_TRUE(shadow.Build(keys));
    shadow.Evaluate(15.0f);
    EXPECT_EQ(shadow.State().mode, 1);
    EXPECT_NEAR(shadow.State().distance, 0.02f, 1e-7f);
    shadow.Evaluate(30.0f);
    EXPECT_EQ(shadow.State().mode, 0);
    shadow.Evaluate(60.5f);
    EXPECT_EQ(shadow.State().mode, 2);
    EXPECT_EQ(shadow.State().distance, 0.05f);
    shadow.Evaluate(61.0f);
    EXPECT_EQ(shadow.State().mode, 0);
    EXPECT_FLOAT_EQ(SelfShadowAnimation::ShadowRange(0.01125f), 112.5f);
    EXPECT_EQ(SelfShadowAnimation::ShadowRange(0.0f), 1.0f);
    EXPECT_EQ(SelfShadowAnimation::ShadowRange(1e30f), 16384.0f);
    EXPECT_TRUE(std::isfinite(SelfShadowAnimation::ShadowRange(NAN)));
}

}  // namespace
