#include "model/motion/CameraAnimation.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "model/io/VmdReader.h"
#include "tests/support/VmdWriter.h"

namespace {

using Math::vec3;
using TestSupport::MakeCameraKey;
using Vesma::CameraAnimation;
using Vesma::CameraState;
using Vesma::VMDCameraKey;

constexpr float kDeg = 0.017453292f;

// Curve bytes (x1, x2, y1, y2) = (127, 127, 0, 0): a slow start that stays low until late.
VMDCameraKey EaseIn(VMDCameraKey key, int curve) {
    for (int i = 0; i < 4; ++i) key.interpolation[4 * curve + i] = i < 2 ? 127 : 0;
    return key;
}

void ExpectVec(vec3 got, vec3 want, float tolerance = 1e-4f) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

TEST(CameraAnimation, BuildFromAFileAndRefuseOneWithoutCameraKeys) {
    TestSupport::VmdContent content = TestSupport::VmdContent::WithSignature();
    content.cameraKeys = {MakeCameraKey(60, -1, {6, 0, 0}), MakeCameraKey(0, -1, {0, 0, 0}),
                          MakeCameraKey(20, -1, {2, 0, 0})};
    Vesma::VMDFile vmd;
    ASSERT_TRUE(Vesma::ReadVMDFile(vmd, TestSupport::WriteVmd(content).bytes));
    CameraAnimation motion;
    ASSERT_TRUE(motion.Build(vmd));
    ASSERT_EQ(motion.Keys().size(), 3u);
    EXPECT_EQ(motion.Keys()[0].frame, 0);
    EXPECT_EQ(motion.Keys()[1].frame, 20);
    EXPECT_EQ(motion.Keys()[2].frame, 60);
    motion.Evaluate(30.0f);
    EXPECT_EQ(motion.CachedIndex(), 2u);

    // Rebuilding without keys fails, drops the old keys and restores the initial state.
    EXPECT_FALSE(motion.Build(Vesma::VMDFile{}));
    EXPECT_TRUE(motion.Keys().empty());
    EXPECT_EQ(motion.CachedIndex(), 0u);
    motion.Evaluate(10.0f);
    EXPECT_EQ(motion.State().interest, vec3(0, 10, 0));
    EXPECT_FLOAT_EQ(motion.State().distance, 50.0f);
    EXPECT_FLOAT_EQ(motion.State().fov, 0.5235988f);
}

TEST(CameraAnimation, KeyConversion) {
    VMDCameraKey record = MakeCameraKey(7, -45.0f, {1, 2, 3}, {0.1f, 0.2f, 0.3f}, 30);
    for (int i = 0; i < 24; ++i) record.interpolation[i] = static_cast<std::uint8_t>(i + 1);
    const Vesma::CameraKey key = CameraAnimation::MakeKey(record);
    EXPECT_EQ(key.frame, 7);
    EXPECT_EQ(key.interest, vec3(1, 2, -3));
    EXPECT_EQ(key.rotation, vec3(0.1f, 0.2f, 0.3f));
    EXPECT_FLOAT_EQ(key.distance, -45.0f);
    EXPECT_FLOAT_EQ(key.fov, 0.5235988f);
    for (int k = 0; k < 6; ++k) {  // each group of four bytes is x1, x2, y1, y2
        EXPECT_FLOAT_EQ(key.curves[k].x1, (4 * k + 1) / 127.0f);
        EXPECT_FLOAT_EQ(key.curves[k].x2, (4 * k + 2) / 127.0f);
        EXPECT_FLOAT_EQ(key.curves[k].y1, (4 * k + 3) / 127.0f);
        EXPECT_FLOAT_EQ(key.curves[k].y2, (4 * k + 4) / 127.0f);
    }
}

// Timeline:  0 (origin, rot 0, dist -10, 30 deg) ---------- 30 ((30,60,90), rot (0.3,0.6,0.9), dist -40, 60 deg)
TEST(CameraAnimation, LinearCurvesInterpolateAndEachChannelHasItsCurve) {
    const VMDCameraKey k0 = MakeCameraKey(0, -10, {0, 0, 0}, {0, 0, 0}, 30);
    const VMDCameraKey k1 = MakeCameraKey(30, -40, {30, 60, 90}, {0.3f, 0.6f, 0.9f}, 60);
    CameraAnimation motion;
    ASSERT_TRUE(motion.Build(std::vector<VMDCameraKey>{k0, k1}));
    motion.Evaluate(15.0f);
    ExpectVec(motion.State().interest, {15, 30, -45}, 1e-3f);
    ExpectVec(motion.State().rotation, {0.15f, 0.3f, 0.45f}, 1e-5f);
    EXPECT_NEAR(motion.State().distance, -25.0f, 1e-4f);
    EXPECT_NEAR(motion.State().fov, 45 * kDeg, 1e-6f);

    // Ease-in on one of the later key's curves at a time: only that channel lags behind half way
    // (the earlier key's curves belong to the segment before it).
    for (int curve = 0; curve < 6; ++curve) {
        ASSERT_TRUE(motion.Build(std::vector<VMDCameraKey>{EaseIn(k0, (curve + 1) % 6), EaseIn(k1, curve)}));
        motion.Evaluate(15.0f);
        const CameraState& s = motion.State();
        const float progress[6] = {s.interest.x / 30, s.interest.y / 60, -s.interest.z / 90,
                                   s.rotation.x / 0.3f, (s.distance + 10) / -30, (s.fov - 30 * kDeg) / (30 * kDeg)};
        for (int c = 0; c < 6; ++c) {
            if (c == curve) {
                EXPECT_LT(progress[c], 0.3f) << "curve " << curve;
            } else {
                EXPECT_NEAR(progress[c], 0.5f, 1e-4f) << "curve " << curve << " channel " << c;
            }
        }
        EXPECT_NEAR(s.rotation.y / 0.6f, progress[3], 1e-5f);  // all angles share the rotation curve
        EXPECT_NEAR(s.rotation.z / 0.9f, progress[3], 1e-5f);
    }
}

// Timeline:  10 ----- 100 - 101 (cut) ------ 131
TEST(CameraAnimation, CutsAndEnds) {
    CameraAnimation motion;
    ASSERT_TRUE(motion.Build(std::vector<VMDCameraKey>{
        MakeCameraKey(10, -5, {1, 0, 0}, {}, 20), MakeCameraKey(100, -10, {10, 0, 0}, {}, 30),
        MakeCameraKey(101, -20, {50, 0, 0}, {}, 40), MakeCameraKey(131, -30, {80, 0, 0}, {}, 50)}));
    const struct {
        float frame, interestX, distance;
    } cases[] = {{0.0f, 1, -5},        {55.0f, 5.5f, -7.5f}, {100.0f, 10, -10}, {100.5f, 10, -10},
                 {100.99f, 10, -10},   {101.0f, 50, -20},    {116.0f, 65, -25}, {131.0f, 80, -30},
                 {500.0f, 80, -30},    {100.5f, 10, -10}};
    for (const auto& c : cases) {
        motion.Evaluate(c.frame);
        EXPECT_NEAR(motion.State().interest.x, c.interestX, 1e-3f) << c.frame;
        EXPECT_NEAR(motion.State().distance, c.distance, 1e-3f) << c.frame;
    }
}

TEST(CameraAnimation, LookAt) {
    const float s = std::sin(0.3f), c = std::cos(0.3f);
    const struct {
        CameraState state;
        vec3 eye, lookAt, up;
    } cases[] = {
        {{{0, 10, 0}, {0, 0, 0}, -45, 0.5f}, {0, 10, 45}, {0, 10, 44}, {0, 1, 0}},
        // A positive distance puts the eye past the interest point, looking away from it.
        {{{0, 10, 0}, {0, 0, 0}, 45, 0.5f}, {0, 10, -45}, {0, 10, -46}, {0, 1, 0}},
        {{{1, 2, 3}, {0.3f, 0, 0}, -45, 0.5f}, vec3(1, 2, 3) + vec3(0, -s, c) * 45,
         vec3(1, 2, 3) + vec3(0, -s, c) * 44, {0, c, s}},
        {{{0, 0, 0}, {0, 0, 0.3f}, -10, 0.5f}, {0, 0, 10}, {0, 0, 9}, {s, c, 0}},
        {{{0, 0, 0}, {0, 0.3f, 0}, -10, 0.5f}, {10 * s, 0, 10 * c}, {9 * s, 0, 9 * c}, {0, 1, 0}},
    };
    for (const auto& k : cases) {
        const Vesma::CameraLookAt got = CameraAnimation::LookAt(k.state);
        ExpectVec(got.eye, k.eye);
        ExpectVec(got.lookAt, k.lookAt);
        ExpectVec(got.up, k.up, 1e-5f);
    }

    // All three angles: right-handed column rotations about z by -rz, then x, then y.
    const float rx = 0.4f, ry = -0.7f, rz = 0.25f;
    auto turn = [&](vec3 v) {
        v = {std::cos(rz) * v.x + std::sin(rz) * v.y, -std::sin(rz) * v.x + std::cos(rz) * v.y, v.z};
        v = {v.x, std::cos(rx) * v.y - std::sin(rx) * v.z, std::sin(rx) * v.y + std::cos(rx) * v.z};
        return vec3{std::cos(ry) * v.x + std::sin(ry) * v.z, v.y, -std::sin(ry) * v.x + std::cos(ry) * v.z};
    };
    for (const float distance : {-20.0f, 20.0f}) {
        SCOPED_TRACE(distance);
        const Vesma::CameraLookAt got = CameraAnimation::LookAt({{3, 4, 5}, {rx, ry, rz}, distance, 0.5f});
        ExpectVec(got.eye, vec3(3, 4, 5) - turn({0, 0, 1}) * distance);
        ExpectVec(got.lookAt, got.eye - turn({0, 0, 1}));
        ExpectVec(got.up, turn({0, 1, 0}), 1e-5f);
    }
}

// Rolling a pitched and turned camera spins the picture about the view axis and moves nothing
// else: the eye and the look-at point stay, and up turns within the view plane by the roll angle.
TEST(CameraAnimation, RollOnlySpinsThePicture) {
    const vec3 interest(1, 12, -3);
    for (const float distance : {-30.0f, 12.0f}) {
        const Vesma::CameraLookAt level = CameraAnimation::LookAt({interest, {0.6f, 0.9f, 0}, distance, 0.5f});
        const vec3 forward = level.eye - level.lookAt;
        const vec3 right = Math::Cross(level.up, forward);
        for (const float roll : {0.3f, -1.2f, 2.5f}) {
            SCOPED_TRACE(testing::Message() << "distance " << distance << " roll " << roll);
            const Vesma::CameraLookAt rolled = CameraAnimation::LookAt({interest, {0.6f, 0.9f, roll}, distance, 0.5f});
            ExpectVec(rolled.eye, level.eye);
            ExpectVec(rolled.lookAt, level.lookAt);
            ExpectVec(rolled.up, level.up * std::cos(roll) + right * std::sin(roll), 1e-5f);
        }
    }
}

// The sign of the distance picks the side of the interest point: the usual negative distance
// looks at it from |distance| away, a positive one stands as far past it and looks away.
TEST(CameraAnimation, DistanceSignPicksTheSideOfTheInterestPoint) {
    const vec3 interest(-2, 15, 7);
    const vec3 rotation(0.35f, -2.1f, 0.6f);
    const Vesma::CameraLookAt behind = CameraAnimation::LookAt({interest, rotation, -25, 0.5f});
    const Vesma::CameraLookAt past = CameraAnimation::LookAt({interest, rotation, 25, 0.5f});
    EXPECT_NEAR(Math::Length(behind.eye - interest), 25.0f, 1e-4f);
    ExpectVec(past.eye - interest, (behind.eye - interest) * -1.0f);
    const vec3 view = past.lookAt - past.eye;
    EXPECT_NEAR(Math::Length(view), 1.0f, 1e-5f);
    EXPECT_NEAR(Math::Dot(view, Math::Normalize(interest - past.eye)), -1.0f, 1e-5f);  // facing away
    EXPECT_NEAR(Math::Dot(behind.lookAt - behind.eye, Math::Normalize(interest - behind.eye)), 1.0f, 1e-5f);
    ExpectVec(past.lookAt - past.eye, behind.lookAt - behind.eye, 1e-5f);  // both look the same way
    ExpectVec(past.up, behind.up, 1e-6f);
}

}  // namespace
