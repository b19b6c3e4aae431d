#include "model/CameraAnimation.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Math::vec3;
using Vesma::CameraAnimation;
using Vesma::CameraKeyRecord;
using Vesma::CameraState;

// Bytes (x1, x2, y1, y2) = (20, 107, 20, 107): control points on the diagonal, a straight line.
void SetLinear(CameraKeyRecord& r) {
    for (int k = 0; k < 6; ++k) {
        r.interpolation[4 * k + 0] = 20;
        r.interpolation[4 * k + 1] = 107;
        r.interpolation[4 * k + 2] = 20;
        r.interpolation[4 * k + 3] = 107;
    }
}

// Slow start: x1 = 127, x2 = 127, y1 = 0, y2 = 0 keeps the value low until late.
void SetEaseIn(CameraKeyRecord& r, int curve) {
    r.interpolation[4 * curve + 0] = 127;
    r.interpolation[4 * curve + 1] = 127;
    r.interpolation[4 * curve + 2] = 0;
    r.interpolation[4 * curve + 3] = 0;
}

CameraKeyRecord Record(int frame, vec3 interest, vec3 rotation, float distance, unsigned viewAngle) {
    CameraKeyRecord r;
    r.frame = frame;
    r.interest = interest;
    r.rotation = rotation;
    r.distance = distance;
    r.viewAngle = viewAngle;
    SetLinear(r);
    return r;
}

void ExpectVec(vec3 got, vec3 want, float tolerance = 1e-5f) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

TEST(CameraAnimation, RefusesAFileWithoutCameraKeys) {
    CameraAnimation motion;
    const std::vector<CameraKeyRecord> none;
    EXPECT_FALSE(motion.Build(none));
    EXPECT_TRUE(motion.Keys().empty());
    motion.Evaluate(10.0f);  // no keys: the initial state stays
    EXPECT_EQ(motion.State().interest, vec3(0, 10, 0));
    EXPECT_FLOAT_EQ(motion.State().distance, 50.0f);
    EXPECT_FLOAT_EQ(motion.State().fov, 0.5235988f);

    // A rebuild without keys also drops the keys of an earlier build.
    const std::vector<CameraKeyRecord> one{Record(0, {1, 2, 3}, {}, -10, 40)};
    ASSERT_TRUE(motion.Build(one));
    EXPECT_FALSE(motion.Build(none));
    EXPECT_TRUE(motion.Keys().empty());
}

TEST(CameraAnimation, KeyConversion) {
    CameraKeyRecord r = Record(7, {1, 2, 3}, {0.1f, 0.2f, 0.3f}, -45.0f, 30);
    for (int i = 0; i < 24; ++i) r.interpolation[i] = static_cast<std::uint8_t>(i + 1);
    const Vesma::CameraKey key = CameraAnimation::MakeKey(r);
    EXPECT_EQ(key.frame, 7);
    EXPECT_EQ(key.interest, vec3(1, 2, -3));
    EXPECT_EQ(key.rotation, vec3(0.1f, 0.2f, 0.3f));
    EXPECT_FLOAT_EQ(key.distance, -45.0f);
    EXPECT_FLOAT_EQ(key.fov, 0.5235988f);
    // Each group of four bytes is x1, x2, y1, y2.
    for (int k = 0; k < 6; ++k) {
        EXPECT_FLOAT_EQ(key.curves[k].x1, (4 * k + 1) / 127.0f) << k;
        EXPECT_FLOAT_EQ(key.curves[k].x2, (4 * k + 2) / 127.0f) << k;
        EXPECT_FLOAT_EQ(key.curves[k].y1, (4 * k + 3) / 127.0f) << k;
        EXPECT_FLOAT_EQ(key.curves[k].y2, (4 * k + 4) / 127.0f) << k;
    }
}

TEST(CameraAnimation, BuildSortsAndResets) {
    CameraAnimation motion;
    const std::vector<CameraKeyRecord> first{Record(0, {0, 0, 0}, {}, -10, 30), Record(30, {30, 0, 0}, {}, -10, 30)};
    ASSERT_TRUE(motion.Build(first));
    motion.Evaluate(15.0f);
    EXPECT_EQ(motion.CachedIndex(), 1u);

    const std::vector<CameraKeyRecord> unsorted{Record(60, {6, 0, 0}, {}, -1, 30), Record(0, {0, 0, 0}, {}, -1, 30),
                                                Record(20, {2, 0, 0}, {}, -1, 30)};
    ASSERT_TRUE(motion.Build(unsorted));
    EXPECT_EQ(motion.CachedIndex(), 0u);
    EXPECT_EQ(motion.State().interest, vec3(0, 10, 0));
    ASSERT_EQ(motion.Keys().size(), 3u);
    EXPECT_EQ(motion.Keys()[0].frame, 0);
    EXPECT_EQ(motion.Keys()[1].frame, 20);
    EXPECT_EQ(motion.Keys()[2].frame, 60);
}

// Timeline:  0 ------------------------------ 30
//            interest (0,0,0), rot 0, dist -10, 30 deg   ->   (30,60,-90) file z, rot (0.3,0.6,0.9), dist -40, 60 deg
TEST(CameraAnimation, LinearCurvesInterpolateHalfWay) {
    CameraAnimation motion;
    const std::vector<CameraKeyRecord> keys{Record(0, {0, 0, 0}, {0, 0, 0}, -10, 30),
                                            Record(30, {30, 60, 90}, {0.3f, 0.6f, 0.9f}, -40, 60)};
    ASSERT_TRUE(motion.Build(keys));

    motion.Evaluate(15.0f);
    const CameraState& s = motion.State();
    ExpectVec(s.interest, {15, 30, -45}, 1e-3f);
    ExpectVec(s.rotation, {0.15f, 0.3f, 0.45f});
    EXPECT_NEAR(s.distance, -25.0f, 1e-4f);
    EXPECT_NEAR(s.fov, 45.0f * 0.017453292f, 1e-6f);

    motion.Evaluate(7.5f);  // a quarter of the way, backwards seek
    ExpectVec(motion.State().interest, {7.5f, 15, -22.5f}, 1e-3f);
}

TEST(CameraAnimation, EachChannelUsesItsOwnCurve) {
    // Ease-in on one curve at a time: only its channel lags behind the half-way value.
    for (int curve = 0; curve < 6; ++curve) {
        CameraKeyRecord k0 = Record(0, {0, 0, 0}, {0, 0, 0}, 0, 0);
        CameraKeyRecord k1 = Record(30, {10, 10, 10}, {1, 1, 1}, 10, 90);
        SetEaseIn(k1, curve);
        CameraAnimation motion;
        ASSERT_TRUE(motion.Build(std::vector<CameraKeyRecord>{k0, k1}));
        motion.Evaluate(15.0f);
        const CameraState& s = motion.State();
        const float halfFov = 45.0f * 0.017453292f;
        const float values[6] = {s.interest.x / 10, s.interest.y / 10, -s.interest.z / 10, s.rotation.x,
                                 s.distance / 10, s.fov / (2 * halfFov)};
        for (int c = 0; c < 6; ++c) {
            if (c == curve) {
                EXPECT_LT(values[c], 0.3f) << "curve " << curve;
            } else {
                EXPECT_NEAR(values[c], 0.5f, 1e-4f) << "curve " << curve << " channel " << c;
            }
        }
        // All three angles share the rotation curve.
        EXPECT_FLOAT_EQ(s.rotation.y, s.rotation.x);
        EXPECT_FLOAT_EQ(s.rotation.z, s.rotation.x);
    }
}

TEST(CameraAnimation, SegmentFollowsTheLaterKeysCurves) {
    CameraKeyRecord k0 = Record(0, {0, 0, 0}, {}, 0, 30);
    CameraKeyRecord k1 = Record(30, {10, 0, 0}, {}, 0, 30);
    CameraKeyRecord k2 = Record(60, {20, 0, 0}, {}, 0, 30);
    SetEaseIn(k0, 0);  // would shape a segment ending at k0; there is none
    SetEaseIn(k2, 0);  // shapes 30 -> 60
    CameraAnimation motion;
    ASSERT_TRUE(motion.Build(std::vector<CameraKeyRecord>{k0, k1, k2}));
    motion.Evaluate(15.0f);
    EXPECT_NEAR(motion.State().interest.x, 5.0f, 1e-3f);
    motion.Evaluate(45.0f);
    EXPECT_LT(motion.State().interest.x, 13.0f);
}

// Timeline:  100 - 101 (cut) ------------ 130
TEST(CameraAnimation, KeysOneFrameApartCut) {
    CameraAnimation motion;
    ASSERT_TRUE(motion.Build(std::vector<CameraKeyRecord>{Record(100, {1, 0, 0}, {}, -10, 30),
                                                          Record(101, {50, 0, 0}, {}, -20, 40),
                                                          Record(130, {80, 0, 0}, {}, -30, 50)}));
    struct Case {
        float frame;
        float interestX;
    };
    const Case cases[] = {{50.0f, 1.0f}, {100.0f, 1.0f}, {100.5f, 1.0f}, {100.99f, 1.0f},
                          {101.0f, 50.0f}, {115.5f, 65.0f}, {130.0f, 80.0f}, {500.0f, 80.0f}};
    for (const Case& c : cases) {
        motion.Evaluate(c.frame);
        EXPECT_NEAR(motion.State().interest.x, c.interestX, 1e-3f) << c.frame;
    }
    motion.Evaluate(100.5f);
    EXPECT_FLOAT_EQ(motion.State().distance, -10.0f);
    EXPECT_FLOAT_EQ(motion.State().fov, 30 * 0.017453292f);
}

TEST(CameraAnimation, BeforeFirstAndAfterLastKey) {
    CameraAnimation motion;
    ASSERT_TRUE(motion.Build(std::vector<CameraKeyRecord>{Record(10, {1, 2, 3}, {0.1f, 0, 0}, -5, 20),
                                                          Record(20, {4, 5, 6}, {0.2f, 0, 0}, -6, 25)}));
    motion.Evaluate(3.0f);
    EXPECT_EQ(motion.State().interest, vec3(1, 2, -3));
    EXPECT_FLOAT_EQ(motion.State().rotation.x, 0.1f);
    motion.Evaluate(25.0f);
    EXPECT_EQ(motion.State().interest, vec3(4, 5, -6));
    EXPECT_FLOAT_EQ(motion.State().distance, -6.0f);
    EXPECT_FLOAT_EQ(motion.State().fov, 25 * 0.017453292f);
}

TEST(CameraAnimation, LookAtExamples) {
    struct Case {
        CameraState state;
        vec3 eye, lookAt, up;
    };
    const float s = std::sin(0.3f), c = std::cos(0.3f);
    const Case cases[] = {
        {{{0, 10, 0}, {0, 0, 0}, -45, 0.5f}, {0, 10, 45}, {0, 10, 44}, {0, 1, 0}},
        {{{0, 10, 0}, {0, 0, 0}, 45, 0.5f}, {0, 10, 45}, {0, 10, 44}, {0, 1, 0}},  // sign ignored
        {{{1, 2, 3}, {0.3f, 0, 0}, 45, 0.5f}, vec3(1, 2, 3) + vec3(0, -s, c) * 45,
         vec3(1, 2, 3) + vec3(0, -s, c) * 44, {0, c, s}},
        {{{0, 0, 0}, {0, 0, 0.3f}, -10, 0.5f}, {0, 0, 10}, {0, 0, 9}, {s, c, 0}},
        {{{0, 0, 0}, {0, 0.3f, 0}, -10, 0.5f}, {10 * s, 0, 10 * c}, {9 * s, 0, 9 * c}, {0, 1, 0}},
    };
    for (const Case& k : cases) {
        const Vesma::CameraLookAt got = CameraAnimation::LookAt(k.state);
        ExpectVec(got.eye, k.eye, 1e-4f);
        ExpectVec(got.lookAt, k.lookAt, 1e-4f);
        ExpectVec(got.up, k.up);
    }
}

TEST(CameraAnimation, LookAtTurnsAboutXThenNegatedZThenY) {
    // Right-handed column-vector rotations applied one after the other, written out by hand.
    const float rx = 0.4f, ry = -0.7f, rz = 0.25f;
    auto turn = [&](vec3 v) {
        v = {v.x, std::cos(rx) * v.y - std::sin(rx) * v.z, std::sin(rx) * v.y + std::cos(rx) * v.z};
        const float z = -rz;
        v = {std::cos(z) * v.x - std::sin(z) * v.y, std::sin(z) * v.x + std::cos(z) * v.y, v.z};
        v = {std::cos(ry) * v.x + std::sin(ry) * v.z, v.y, -std::sin(ry) * v.x + std::cos(ry) * v.z};
        return v;
    };
    const vec3 interest{3, 4, 5};
    const Vesma::CameraLookAt got = CameraAnimation::LookAt({interest, {rx, ry, rz}, -20, 0.5f});
    const vec3 f = turn({0, 0, 1});
    ExpectVec(got.eye, interest + f * 20, 1e-4f);
    ExpectVec(got.lookAt, interest + f * 19, 1e-4f);
    ExpectVec(got.up, turn({0, 1, 0}));
}

}  // namespace
