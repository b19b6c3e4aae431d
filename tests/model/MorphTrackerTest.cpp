// Tracked morph passes (each replacing the last one's offsets in place) against a plain pass into
// cleared buffers, over frames whose morphs switch on and off.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <vector>

#include "model/morph/MMDMorphManager.h"
#include "model/morph/PMXMorphSetup.h"
#include "model/skeleton/MMDNodeManager.h"
#include "model/PMXModel.h"
#include "model/skin/VertexSkinning.h"
#include "tests/model/ModelTestRigs.h"

using namespace Vesma;
using Math::vec3;
using Math::vec4;

namespace {

constexpr size_t kVertices = 10;

PMXMorph Position(std::vector<PMXPositionMorph> offsets) {
    PMXMorph m;
    m.name = u"p";
    m.morphType = PMXMorphType::Position;
    m.positionMorph = std::move(offsets);
    return m;
}

PMXMorph UV(std::vector<PMXUVMorph> offsets) {
    PMXMorph m;
    m.name = u"u";
    m.morphType = PMXMorphType::UV;
    m.uvMorph = std::move(offsets);
    return m;
}

PMXMorph Group(std::vector<PMXGroupMorph> members) {
    PMXMorph m;
    m.name = u"g";
    m.morphType = PMXMorphType::Group;
    m.groupMorph = std::move(members);
    return m;
}

// Vertices shared between lists, named twice in one list, and carrying position and UV offsets
// at once; two groups, one inside the other, and a list naming a vertex past the end (dropped).
// Sums at vertex 1 differ with their order.
std::vector<PMXMorph> Morphs() {
    return {
        Position({{0, {1, 2, 3}}, {1, {0.5f, -1, 0.25f}}, {1, {0.1f, 0.2f, 0.3f}}, {3, {-2, 0, 1}}}),  // 0
        Position({{1, {0.3f, 0.7f, -0.1f}}, {2, {1, 1, 1}}, {5, {4, -3, 2}}}),                         // 1
        UV({{1, {0.1f, 0.2f, 0.3f, 0.4f}}, {4, {-0.5f, 0.5f, 0, 1}}}),                                   // 2
        UV({{4, {0.25f, 0, 0, 0}}, {6, {1, 1, 1, 1}}, {4, {0.125f, 0.5f, 0, 0}}}),                       // 3
        Group({{0, 0.5f}, {3, 2.0f}}),                                                                    // 4
        Group({{4, 1.0f}, {1, -1.0f}, {6, 0.75f}}),                                                       // 5
        Position({{7, {3, 3, 3}}, {1, {-1, -1, -1}}, {9, {0.5f, 0.5f, 0.5f}}, {10, {9, 9, 9}}, {1, {0.7f, 1e-3f, 3}},
                  {1, {1e4f, -0.3f, 0.01f}}}),  // 6
        Position({{8, {1, 0, 0}}, {0, {0, 1, 0}}}),                                                      // 7
    };
}

// The vertices a pass at these weights writes, per kind: a morph acts at a non-zero weight, a
// group passes weight x member weight on.
void Written(const std::vector<PMXMorph>& morphs, size_t index, float w, int depth, std::vector<uint8_t>& flags) {
    const PMXMorph& m = morphs[index];
    if (m.morphType == PMXMorphType::Group) {
        if (depth < MMDMorphManager::kMaxGroupDepth) {
            for (const PMXGroupMorph& g : m.groupMorph) Written(morphs, g.morphIndex, w * g.weight, depth + 1, flags);
        }
        return;
    }
    if (w == 0.0f) return;
    for (const PMXPositionMorph& o : m.positionMorph) {
        if (o.vertexIndex < static_cast<int32_t>(flags.size())) flags[o.vertexIndex] |= kMorphPositionFlag;
    }
    for (const PMXUVMorph& o : m.uvMorph) {
        if (o.vertexIndex < static_cast<int32_t>(flags.size())) flags[o.vertexIndex] |= kMorphUVFlag;
    }
}

template <class T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        for (int c = 0; c < static_cast<int>(sizeof(T) / sizeof(float)); ++c) {
            if (std::bit_cast<uint32_t>((&a[i].x)[c]) != std::bit_cast<uint32_t>((&b[i].x)[c])) return false;
        }
    }
    return true;
}

class MorphTrackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetupPMXMorphs(morphs, nodes, kVertices, 0, manager);
        positions.assign(kVertices, {});
        uvs.assign(kVertices, {});
        tracker.Reset(kVertices);
    }

    // One tracked pass at `weights`, then the same weights applied plainly to cleared buffers: the
    // offsets must match bit for bit and the flags name exactly the vertices written.
    void CheckFrame(const std::vector<float>& weights) {
        for (size_t m = 0; m < weights.size(); ++m) manager.GetMorph(static_cast<int64_t>(m))->SetWeight(weights[m]);
        manager.ApplyMorphs({positions, uvs, {}, {}, &tracker});

        std::vector<vec3> plainPositions(kVertices);
        std::vector<vec4> plainUVs(kVertices);
        manager.ApplyMorphs({plainPositions, plainUVs, {}, {}});
        EXPECT_TRUE(SameBits(plainPositions, positions));
        EXPECT_TRUE(SameBits(plainUVs, uvs));

        std::vector<uint8_t> expected(kVertices, 0);
        for (size_t m = 0; m < weights.size(); ++m) Written(morphs, m, weights[m], 0, expected);
        ASSERT_EQ(kVertices, tracker.Flags().size());
        for (size_t v = 0; v < kVertices; ++v) {
            EXPECT_EQ(expected[v], tracker.Flags()[v] & (kMorphPositionFlag | kMorphUVFlag)) << "vertex " << v;
        }
    }

    std::vector<PMXMorph> morphs = Morphs();
    MMDNodeManager nodes;
    MMDMorphManager manager;
    std::vector<vec3> positions;
    std::vector<vec4> uvs;
    MorphVertexTracker tracker;
};

// Long random runs in rounds of one to four frames: morphs switched on and off (0 or -0) at
// random, then new weights for the same morphs, and in rounds of four a last frame with every
// weight as it was. New morphs after a round of one frame are applied directly and planned when
// they come again; after longer rounds they are planned at once; the plan runs while they stay.
TEST_F(MorphTrackerTest, RandomFramesMatchAPlainPass) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> choice(0, 3);
    std::uniform_int_distribution<int> roundLength(1, 4);
    std::uniform_real_distribution<float> weight(-1.0f, 1.5f);
    std::vector<float> weights(morphs.size(), 0.0f);
    int length = 0;
    int step = 0;
    for (int f = 0; f < 600; ++f) {
        SCOPED_TRACE(f);
        if (step == length) {
            length = roundLength(rng);
            step = 0;
        }
        for (float& w : weights) {
            if (step == 0) {
                const int c = choice(rng);
                if (c == 0) w = 0.0f;
                if (c == 1) w = -0.0f;
                if (c == 2) w = weight(rng);
            } else if (step != 3 && w != 0.0f) {
                w = weight(rng);
            }
        }
        ++step;
        CheckFrame(weights);
    }
}

// Clearing drops every offset and flag, whether the last pass ran a plan or applied new lists;
// the next pass starts afresh. Offset lists replaced after a pass are cleared by what the pass
// wrote, not by the new lists.
TEST_F(MorphTrackerTest, ClearAndReplacedListsLeaveNothingBehind) {
    const auto expectCleared = [&] {
        EXPECT_TRUE(SameBits(std::vector<vec3>(kVertices), positions));
        EXPECT_TRUE(SameBits(std::vector<vec4>(kVertices), uvs));
        for (uint8_t f : tracker.Flags()) EXPECT_EQ(0, f & (kMorphPositionFlag | kMorphUVFlag));
    };
    for (int passes : {1, 2}) {  // new lists only; the same lists again, which makes a plan
        SCOPED_TRACE(passes);
        tracker.Reset(kVertices);  // so that the first pass applies its lists directly
        for (int p = 0; p < passes; ++p) CheckFrame({1, 1, 1, p == 0 ? 1.0f : 0.5f, 0, 0, 0, 0});
        manager.ClearAppliedMorphs({positions, uvs, {}, {}, &tracker});
        expectCleared();
    }

    // Morph 0 then names vertex 9 only, later vertex 2 only; vertices it named before must not
    // keep their offsets.
    const std::vector<std::vector<PMXPositionMorph>> replacements = {{{9, {1, 1, 1}}}, {{2, {-1, 0.5f, 2}}}};
    for (int passes : {1, 2}) {
        SCOPED_TRACE(passes);
        manager.ClearAppliedMorphs({positions, uvs, {}, {}, &tracker});
        tracker.Reset(kVertices);
        for (int p = 0; p < passes; ++p) CheckFrame({1, 0, 0, p == 0 ? 1.0f : 0.5f, 0, 0, 0, 0});
        const std::vector<PMXPositionMorph>& next = replacements[passes - 1];
        std::vector<PositionMorphOffset> offsets;
        for (const PMXPositionMorph& o : next) {
            offsets.push_back({static_cast<uint32_t>(o.vertexIndex), {o.position.x, o.position.y, -o.position.z}});
        }
        manager.SetPositionOffsets(manager.GetMorph(0)->GetListIndex(), offsets);
        morphs[0].positionMorph = next;
        CheckFrame({1, 0, 0, 0, 0, 0, 0, 0});
        CheckFrame({0.5f, 0, 0, 0, 0, 0, 0, 0});
    }
}

// Buffers shorter than the vertex count: offsets past them are skipped, nothing is written out of
// range, and the offsets that fit are right; back at full size everything matches again.
TEST_F(MorphTrackerTest, ShortBuffersTakeWhatFits) {
    CheckFrame({1, 1, 1, 1, 0, 0, 1, 0});
    manager.ClearAppliedMorphs({positions, uvs, {}, {}, &tracker});
    std::vector<vec3> shortPositions(4);
    std::vector<vec4> shortUVs(3);
    for (float w : {1.0f, 0.5f}) {  // making the plan, then running it
        manager.GetMorph(1)->SetWeight(w);
        manager.ApplyMorphs({shortPositions, shortUVs, {}, {}, &tracker});
        std::vector<vec3> plainPositions(4);
        std::vector<vec4> plainUVs(3);
        manager.ApplyMorphs({plainPositions, plainUVs, {}, {}});
        EXPECT_TRUE(SameBits(plainPositions, shortPositions));
        EXPECT_TRUE(SameBits(plainUVs, shortUVs));
    }
    manager.ClearAppliedMorphs({shortPositions, shortUVs, {}, {}, &tracker});
    EXPECT_TRUE(SameBits(std::vector<vec3>(4), shortPositions));
    EXPECT_TRUE(SameBits(std::vector<vec4>(3), shortUVs));
    CheckFrame({1, 1, 1, 1, 1, 1, 1, 1});
}

// The model: after BeginAnimation, skinning without a morph pass (and ResetPose) sees no offsets.
TEST(MorphTrackerModelTest, OffsetsOfASkippedPassAreGone) {
    PMXFile file;
    file.bones.push_back(ModelRigs::Bone(u"b0", {0, 0, 0}, -1));
    for (int i = 0; i < 3; ++i) {
        file.vertices.push_back(
            ModelRigs::Vertex({static_cast<float>(i), 0, 0}, PMXVertexWeight::BDEF1, {0, -1, -1, -1}, {1, 0, 0, 0}));
    }
    file.morphs = {Position({{1, {0, 2, 0}}}), UV({{2, {0.5f, 0, 0, 0}}})};
    auto model = ModelRigs::LoadModel(std::move(file));
    ASSERT_TRUE(model);
    const auto& rest = model->GetRestVertices();
    const auto& out = model->GetOutputVertices();

    model->GetMorphManager().GetMorph(0)->SetWeight(1.0f);
    model->GetMorphManager().GetMorph(1)->SetWeight(1.0f);
    model->BeginAnimation();
    model->UpdateMorphsAndNodes();
    model->UpdateVertices();
    EXPECT_EQ(rest[1].position + vec3(0, 2, 0), out[1].position);
    EXPECT_EQ(rest[2].uv.x + 0.5f, out[2].uv.x);

    model->BeginAnimation();
    model->UpdateVertices();
    for (size_t v = 0; v < 3; ++v) {
        EXPECT_EQ(rest[v].position, out[v].position) << v;
        EXPECT_EQ(rest[v].uv.x, out[v].uv.x) << v;
        EXPECT_EQ(vec3(), model->GetMorphPositionOffsets()[v]);
    }

    model->BeginAnimation();
    model->UpdateMorphsAndNodes();
    model->ResetPose();
    EXPECT_EQ(vec3(), model->GetMorphPositionOffsets()[1]);
    EXPECT_EQ(vec4(), model->GetMorphUVOffsets()[2]);
}

}  // namespace
