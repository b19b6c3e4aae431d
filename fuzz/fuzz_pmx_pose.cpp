// Reads arbitrary bytes as a PMX model and, when that succeeds, builds its nodes, IK solvers and
// morphs and poses it once with every morph at a weight taken from the input: the morph pass, the
// append pass and every IK solve. Hostile indices, cyclic groups, NaN positions and huge loop
// counts must neither crash, hang nor read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "core/MessageLog.h"
#include "model/ik/MMDIKManager.h"
#include "model/morph/MMDMorphManager.h"
#include "model/morph/PMXMorphSetup.h"
#include "model/skeleton/MMDNodeManager.h"
#include "model/io/PmxReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Vesma::PMXFile pmx;
    if (!Vesma::ReadPMXFile(pmx, std::span<const uint8_t>(data, size))) {
        MessageLog::Instance().Clear();
        return 0;
    }
    Vesma::MMDNodeManager nodes;
    Vesma::MMDIKManager iks;
    Vesma::MMDMorphManager morphs;
    Vesma::SetupPMXNodes(pmx.bones, nodes);
    Vesma::SetupPMXIkSolvers(pmx.bones, nodes, iks);
    Vesma::SetupPMXMorphs(pmx.morphs, nodes, pmx.vertices.size(), pmx.materials.size(), morphs);

    float weight = 1.0f;
    if (size >= 4) {
        std::memcpy(&weight, data + size - 4, 4);
    }
    for (const auto& morph : morphs.GetMorphs()) {
        morph->SetWeight(weight);
    }

    std::vector<Math::vec3> positions(pmx.vertices.size());
    std::vector<Math::vec4> uvs(pmx.vertices.size());
    std::vector<Vesma::MaterialMorphFactors> mul(pmx.materials.size());
    std::vector<Vesma::MaterialMorphFactors> add(pmx.materials.size());
    for (size_t m = 0; m < pmx.materials.size(); ++m) {
        const Vesma::PMXMaterial& material = pmx.materials[m];
        mul[m] = Vesma::InitialMultiplyFactors(material.diffuse, material.specular, material.specularPower,
                                               material.ambient);
    }

    for (const auto& node : nodes.GetNodes()) node->BeginUpdate();
    morphs.ApplyMorphs({positions, uvs, mul, add});
    for (const auto& node : nodes.GetNodes()) node->ComputeLocalTransform();
    for (const auto& node : nodes.GetNodes()) {
        if (!node->GetParent()) node->UpdateGlobalTransform();
    }
    for (const auto& node : nodes.GetNodes()) {
        if (node->GetAppendNode()) {
            node->UpdateAppendTransform();
            node->UpdateGlobalTransform();
        }
        if (Vesma::MMDIkSolver* solver = node->GetIKSolver()) {
            solver->Solve();
            node->UpdateGlobalTransform();
        }
    }
    MessageLog::Instance().Clear();
    return 0;
}
