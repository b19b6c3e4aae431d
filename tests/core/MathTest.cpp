#include "core/Math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <cstdint>

using namespace Math;

namespace {
// Hides a value from the optimiser, so a product of it is computed at run time.
template <typename T>
void HideFromOptimiser(T& value) {
    asm volatile("" : "+m"(value));
}
void ExpectNear(const mat4& a, const mat4& b, float tol = 1e-5f) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(a.m[i][j], b.m[i][j], tol) << "at [" << i << "][" << j << "]";
}
void ExpectNear(vec3 a, vec3 b, float tol = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}
void ExpectSameRotation(quat a, quat b, float tol = 1e-5f) {
    // q and -q are the same rotation.
    const float sign = Dot(a, b) < 0 ? -1.0f : 1.0f;
    EXPECT_NEAR(a.x, sign * b.x, tol);
    EXPECT_NEAR(a.y, sign * b.y, tol);
    EXPECT_NEAR(a.z, sign * b.z, tol);
    EXPECT_NEAR(a.w, sign * b.w, tol);
}
}  // namespace

TEST(Math, ElementaryRotationsAreLeftHanded) {
    const float a = 0.3f, c = std::cos(a), s = std::sin(a);
    ExpectNear(RotationX(a), mat4(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1));
    ExpectNear(RotationY(a), mat4(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1));
    ExpectNear(RotationZ(a), mat4(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
    // Row vector times matrix: x axis turned by RotationZ(90 degrees) becomes +y.
    ExpectNear(TransformNormal({1, 0, 0}, RotationZ(kPi / 2)), {0, 1, 0});
}

TEST(Math, QuaternionMatchesElementaryRotations) {
    const float a = 0.7f;
    ExpectNear(RotationQuaternion(QuaternionRotationAxis({1, 0, 0}, a)), RotationX(a));
    ExpectNear(RotationQuaternion(QuaternionRotationAxis({0, 1, 0}, a)), RotationY(a));
    ExpectNear(RotationQuaternion(QuaternionRotationAxis({0, 0, 1}, a)), RotationZ(a));
}

TEST(Math, HamiltonProductRightOperandActsFirst) {
    const quat p = QuaternionRotationAxis({1, 0, 0}, 0.4f);
    const quat q = QuaternionRotationAxis({0, 0, 1}, 1.1f);
    ExpectNear(RotationQuaternion(p * q), RotationQuaternion(q) * RotationQuaternion(p));
    ExpectNear(Rotate({1, 2, 3}, p * q), Rotate(Rotate({1, 2, 3}, q), p));
    ExpectNear(Rotate({1, 2, 3}, q), TransformNormal({1, 2, 3}, RotationQuaternion(q)));
}

TEST(Math, RollPitchYawOrder) {
    const float pitch = 0.3f, yaw = -0.8f, roll = 1.2f;
    ExpectNear(RotationQuaternion(QuaternionRollPitchYaw(pitch, yaw, roll)),
               RotationZ(roll) * RotationX(pitch) * RotationY(yaw));
}

TEST(Math, MatrixQuaternionRoundTripIncludingNear180Degrees) {
    const vec3 axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 2, 3}, {-1, 0.5f, 0.2f}};
    const float angles[] = {0.0f, 0.5f, 2.0f, 3.14f, 3.1415926f, -3.1415f};
    for (vec3 axis : axes) {
        for (float angle : angles) {
            const quat q = QuaternionRotationAxis(axis, angle);
            ExpectSameRotation(QuaternionFromMatrix(RotationQuaternion(q)), q, 2e-4f);
        }
    }
}

TEST(Math, SlerpTakesShortestPathAndExtrapolates) {
    const quat a = QuaternionRotationAxis({0, 1, 0}, 0.0f);
    const quat b = QuaternionRotationAxis({0, 1, 0}, 1.0f);
    ExpectSameRotation(Slerp(a, b, 0.5f), QuaternionRotationAxis({0, 1, 0}, 0.5f));
    // -b is the same rotation; the result must not take the long way round.
    const quat negB{-b.x, -b.y, -b.z, -b.w};
    ExpectSameRotation(Slerp(a, negB, 0.5f), QuaternionRotationAxis({0, 1, 0}, 0.5f));
    ExpectSameRotation(Slerp(a, b, 1.5f), QuaternionRotationAxis({0, 1, 0}, 1.5f));
    ExpectSameRotation(Slerp(a, b, -0.5f), QuaternionRotationAxis({0, 1, 0}, -0.5f));
}

namespace {

// sin(t·θ)/sin(θ) weights in double precision: the reference the float interpolation is held to.
quat SlerpReference(quat q0, quat q1, double t) {
    double x = Dot(q0, q1);
    if (x < 0) {
        q1 = {-q1.x, -q1.y, -q1.z, -q1.w};
        x = -x;
    }
    const double theta = std::acos(std::min(x, 1.0));
    const double s0 = theta < 1e-9 ? 1 - t : std::sin((1 - t) * theta) / std::sin(theta);
    const double s1 = theta < 1e-9 ? t : std::sin(t * theta) / std::sin(theta);
    return quat(static_cast<float>(q0.x * s0 + q1.x * s1), static_cast<float>(q0.y * s0 + q1.y * s1),
                static_cast<float>(q0.z * s0 + q1.z * s1), static_cast<float>(q0.w * s0 + q1.w * s1));
}

float MaxDifference(quat a, quat b) {
    return std::max({std::fabs(a.x - b.x), std::fabs(a.y - b.y), std::fabs(a.z - b.z), std::fabs(a.w - b.w)});
}

}  // namespace

// Interpolation runs without trigonometry for t in [0, 1]: it must stay on the exact arc for
// pairs at every angle up to a full turn (past half a turn the short way round is the other
// sign) and every weight, and give the end points back.
TEST(Math, SlerpStaysOnTheArcForEveryAngleAndWeight) {
    float worst = 0;
    const quat bases[] = {quat::Identity(), QuaternionRotationAxis({1, 2, 0}, 0.7f), QuaternionRotationAxis({-1, 0, 3}, 2.9f)};
    for (int b = 0; b < 3; ++b) {
        const vec3 turnAxis = Normalize(vec3(0.3f, -1.0f + b, 0.5f * b));
        for (int a = 0; a <= 720; ++a) {
            const quat q0 = bases[b];
            const quat q1 = QuaternionRotationAxis(turnAxis, 2 * kPi * a / 720.0f) * q0;
            for (int k = 0; k <= 64; ++k) {
                const float t = k / 64.0f;
                worst = std::max(worst, MaxDifference(SlerpReference(q0, q1, t), Slerp(q0, q1, t)));
            }
        }
    }
    EXPECT_LE(worst, 1e-6f);
    const quat q0 = QuaternionRotationAxis({0, 1, 0}, 0.4f);
    const quat q1 = QuaternionRotationAxis({1, 0, 0}, 2.9f);
    EXPECT_LE(MaxDifference(q0, Slerp(q0, q1, 0.0f)), 1e-6f);
    EXPECT_LE(MaxDifference(q1, Slerp(q0, q1, 1.0f)), 1e-6f);
}

// The affine product skips only terms that are exactly zero, and adds the rest in the order of the
// full product, so the two agree to the bit (bone transforms rely on it to be reproducible).
TEST(Math, AffineProductEqualsTheFullProductExactly) {
    uint32_t state = 12345;
    const auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<int32_t>(state >> 8) - (1 << 23)) / static_cast<float>(1 << 20);
    };
    for (int trial = 0; trial < 200; ++trial) {
        mat4 a;
        mat4 b;
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 3; ++j) a.m[i][j] = next();
            for (int j = 0; j < 4; ++j) b.m[i][j] = next();
        }
        ASSERT_TRUE(IsAffine(a));
        const mat4 fast = MultiplyAffine(a, b);
        const mat4 full = a * b;
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) ASSERT_EQ(full.m[i][j], fast.m[i][j]) << "trial " << trial << " [" << i << "][" << j << "]";
        }
    }
    mat4 notAffine;
    notAffine.m[1][3] = 0.5f;
    EXPECT_FALSE(IsAffine(notAffine));
}

// The product evaluated at compile time takes the plain scalar form; at run time it may take the
// vector form. Both must give the same bits, whatever the magnitudes and signs.
namespace {
constexpr quat kProductInputs[] = {{0.1f, -0.7f, 0.3f, 0.6403124f}, {-0.9f, 0.2f, 0.05f, -0.3835f},
                                   {1e-20f, 3e10f, -2.5f, 0.0f},    {0.0f, -0.0f, 1.0f, 1e-3f},
                                   {-123.25f, 7.5e-5f, 0.33333334f, 42.0f}, {1.0f, 1.0f, 1.0f, 1.0f}};
constexpr std::size_t kProductCount = std::size(kProductInputs);
constexpr auto CompileTimeProducts() {
    std::array<quat, kProductCount * kProductCount> out{};
    for (std::size_t i = 0; i < kProductCount; ++i) {
        for (std::size_t j = 0; j < kProductCount; ++j) out[i * kProductCount + j] = kProductInputs[i] * kProductInputs[j];
    }
    return out;
}
}  // namespace

TEST(Math, QuaternionProductIsTheSameAtCompileAndRunTime) {
    constexpr auto expected = CompileTimeProducts();
    for (std::size_t i = 0; i < kProductCount; ++i) {
        for (std::size_t j = 0; j < kProductCount; ++j) {
            quat p = kProductInputs[i];
            quat q = kProductInputs[j];
            HideFromOptimiser(p);
            HideFromOptimiser(q);
            const quat r = p * q;
            const quat& e = expected[i * kProductCount + j];
            EXPECT_EQ(e.x, r.x) << i << "," << j;
            EXPECT_EQ(e.y, r.y) << i << "," << j;
            EXPECT_EQ(e.z, r.z) << i << "," << j;
            EXPECT_EQ(e.w, r.w) << i << "," << j;
        }
    }
}

TEST(Math, InverseOfRigidTransform) {
    const mat4 m = RotationQuaternion(QuaternionRotationAxis({1, 1, 0}, 0.9f)) * Translation({3, -2, 5});
    ExpectNear(m * Inverse(m), mat4::Identity());
    ExpectNear(TransformPoint(TransformPoint({1, 2, 3}, m), Inverse(m)), {1, 2, 3});
    mat4 singular = mat4::Identity();
    singular.m[1][1] = 0;
    ExpectNear(Inverse(singular), mat4(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
}

TEST(Math, DecomposeRecoversScaleRotationTranslation) {
    const quat q = QuaternionRotationAxis({0.2f, 1, -0.4f}, 1.3f);
    const mat4 m = Scaling({2, 3, 4}) * RotationQuaternion(q) * Translation({7, 8, 9});
    vec3 s, t;
    quat r;
    ASSERT_TRUE(Decompose(m, s, r, t));
    ExpectNear(s, {2, 3, 4}, 1e-4f);
    ExpectSameRotation(r, q, 1e-4f);
    ExpectNear(t, {7, 8, 9});
}

TEST(Math, PerspectiveAndLookAtRightHanded) {
    const mat4 p = PerspectiveFovRH(kPi / 2, 2.0f, 1.0f, 100.0f);
    EXPECT_NEAR(p.m[0][0], 0.5f, 1e-6f);
    EXPECT_NEAR(p.m[1][1], 1.0f, 1e-6f);
    EXPECT_NEAR(p.m[2][2], 100.0f / (1.0f - 100.0f), 1e-6f);
    EXPECT_NEAR(p.m[3][2], 100.0f / (1.0f - 100.0f), 1e-6f);
    EXPECT_EQ(p.m[2][3], -1.0f);
    EXPECT_EQ(p.m[3][3], 0.0f);
    // Near plane maps to depth 0, far plane to 1 (camera looks down -z).
    EXPECT_NEAR(TransformCoord({0, 0, -1}, p).z, 0.0f, 1e-6f);
    EXPECT_NEAR(TransformCoord({0, 0, -100}, p).z, 1.0f, 1e-5f);

    // Eye at (0, 0, 10) looking at the origin: the view is a plain translation by -10 along z.
    const mat4 v = LookAtRH({0, 0, 10}, {0, 0, 0}, {0, 1, 0});
    ExpectNear(v, Translation({0, 0, -10}));
    // Looking along +x: world +x goes to view -z, world +z to view +x.
    const mat4 v2 = LookAtRH({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    ExpectNear(TransformPoint({1, 0, 0}, v2), {0, 0, -1});
    ExpectNear(TransformPoint({0, 0, 1}, v2), {1, 0, 0});
}

TEST(Math, NormalizeRules) {
    ExpectNear(Normalize(vec3{3, 0, 4}), {0.6f, 0, 0.8f});
    EXPECT_EQ(Normalize(vec3{0, 0, 0}), vec3(0, 0, 0));
    const vec3 n = Normalize(vec3{INFINITY, 1, 0});
    EXPECT_TRUE(std::isnan(n.x) && std::isnan(n.y) && std::isnan(n.z));
    const vec3 huge = Normalize(vec3{3e38f, 3e38f, 0});  // squared length overflows
    EXPECT_TRUE(std::isnan(huge.x));
}

TEST(Math, MirrorZNegatesZRowAndColumn) {
    const mat4 m = RotationQuaternion(QuaternionRotationAxis({1, 2, 3}, 0.8f)) * Translation({1, 2, 3});
    const mat4 s = Scaling({1, 1, -1});
    ExpectNear(MirrorZ(m), s * m * s);
    ExpectNear(MirrorZ(MirrorZ(m)), m);
    ExpectNear(MirrorZ(m).Translation(), {1, 2, -3});
}
