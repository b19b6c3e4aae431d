// Motion file reading and the per-frame node pass on sizes typical of dance motions and models.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "model/skeleton/MMDNodeManager.h"
#include "model/io/VmdReader.h"
#include "tests/support/VmdWriter.h"

namespace {

// A motion of `keys` bone keys spread over 60 bones, plus a few morph keys.
std::vector<uint8_t> MakeMotion(int keys) {
    TestSupport::VmdContent c = TestSupport::VmdContent::WithSignature();
    for (int i = 0; i < keys; ++i) {
        c.boneKeys.push_back(TestSupport::MakeBoneKey("bone" + std::to_string(i % 60), static_cast<uint32_t>(i / 60),
                                                      {0.1f, 0.2f, 0.3f}, {0, 0, 0, 1}));
    }
    for (int i = 0; i < keys / 10; ++i) {
        c.morphKeys.push_back(TestSupport::MakeMorphKey("morph", static_cast<uint32_t>(i), 0.5f));
    }
    return TestSupport::WriteVmd(c).bytes;
}

void BM_ReadVmd(benchmark::State& state) {
    const std::vector<uint8_t> bytes = MakeMotion(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        Vesma::VMDFile vmd;
        benchmark::DoNotOptimize(Vesma::ReadVMDFile(vmd, bytes));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ReadVmd)->Arg(1000)->Arg(100000);

// A humanoid-like tree: a spine of 10 bones with 5 limbs of 10 bones each hanging off it, the
// pattern repeated to reach the bone count; every fourth bone inherits half its neighbour's
// rotation.
std::vector<Vesma::PMXBone> MakeSkeleton(int count) {
    std::vector<Vesma::PMXBone> bones(count);
    for (int i = 0; i < count; ++i) {
        Vesma::PMXBone& b = bones[i];
        b.name = u"b" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
        b.position = {static_cast<float>(i % 7), static_cast<float>(i % 11), static_cast<float>(i % 5)};
        b.parentBoneIndex = i == 0 ? -1 : (i % 10 == 0 ? ((i - 1) / 60) * 60 : i - 1);
        if (i % 4 == 3) {
            b.boneFlag = 0x0100;
            b.appendBoneIndex = i - 1;
            b.appendWeight = 0.5f;
        }
    }
    return bones;
}

void BM_NodePass(benchmark::State& state) {
    Vesma::MMDNodeManager nodes;
    Vesma::SetupPMXNodes(MakeSkeleton(static_cast<int>(state.range(0))), nodes);
    const auto& list = nodes.GetNodes();
    const Math::quat spin = Math::QuaternionRotationAxis({0, 1, 0}, 0.1f);
    for (auto _ : state) {
        for (const auto& n : list) {
            n->BeginUpdate();
            n->SetAnimateRotate(spin);
        }
        for (const auto& n : list) {
            n->ComputeLocalTransform();
        }
        for (const auto& n : list) {
            if (!n->GetParent()) {
                n->UpdateGlobalTransform();
            }
        }
        for (const auto& n : list) {
            if (n->GetAppendNode()) {
                n->UpdateAppendTransform();
                n->UpdateGlobalTransform();
            }
        }
        for (const auto& n : list) {
            if (!n->GetParent()) {
                n->UpdateGlobalTransform();
            }
        }
        benchmark::DoNotOptimize(list.back()->GetGlobalTransform());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_NodePass)->Arg(300)->Arg(1000);

}  // namespace
