#include "model/skin/SkinLayout.h"

#include <algorithm>

#include "model/PMXModel.h"

namespace Vesma {

void BuildSkinLayout(std::span<const ModelVertex> rest, std::span<const VertexSkin> skins, std::size_t nodeCount,
                     SkinLayout& out) {
    const std::size_t count = std::min(rest.size(), skins.size());
    out.nodeCount = static_cast<uint32_t>(nodeCount);
    out.rest.resize(count);
    out.records.assign(count, SkinRecord{});
    out.kinds.assign(count, SkinKind::Blend1);
    out.sdef.clear();
    out.hasSdef = false;
    out.hasQdef = false;
    auto valid = [nodeCount](int32_t index) { return index >= 0 && static_cast<std::size_t>(index) < nodeCount; };

    for (std::size_t v = 0; v < count; ++v) {
        const ModelVertex& r = rest[v];
        out.rest[v] = {{r.position.x, r.position.y, r.position.z}, {r.normal.x, r.normal.y, r.normal.z}, {r.uv.x, r.uv.y}};

        const VertexSkin& skin = skins[v];
        SkinRecord& record = out.records[v];
        if (skin.weightType == SkinType::SDEF && valid(skin.sdefBoneIndex0) && valid(skin.sdefBoneIndex1)) {
            SdefRecord points;
            points.c[0] = skin.sdefC.x, points.c[1] = skin.sdefC.y, points.c[2] = skin.sdefC.z;
            points.p0[0] = skin.sdefP0.x, points.p0[1] = skin.sdefP0.y, points.p0[2] = skin.sdefP0.z;
            points.p1[0] = skin.sdefP1.x, points.p1[1] = skin.sdefP1.y, points.p1[2] = skin.sdefP1.z;
            record.bones[0] = static_cast<uint32_t>(skin.sdefBoneIndex0);
            record.bones[1] = static_cast<uint32_t>(skin.sdefBoneIndex1);
            record.bones[2] = static_cast<uint32_t>(out.sdef.size());
            record.weights[0] = skin.sdefWeight;
            record.weights[1] = 1.0f - skin.sdefWeight;
            out.sdef.push_back(points);
            out.kinds[v] = SkinKind::Sdef;
            out.hasSdef = true;
            continue;
        }
        if (skin.weightType == SkinType::QDEF) {
            for (int k = 0; k < 4; ++k) {
                record.bones[k] = valid(skin.boneIndices[k]) ? static_cast<uint32_t>(skin.boneIndices[k]) : kNoBone;
                record.weights[k] = skin.weights[k];
            }
            out.kinds[v] = SkinKind::Qdef;
            out.hasQdef = true;
            continue;
        }

        // A plain blend (an SDEF vertex with a missing bone too: the blend of what is there). Slots
        // that name no node add nothing, nor do slots of weight 0 (they would add a zero matrix);
        // with valid bones of weight 0 only, the blend is the zero matrix, and with no valid bone at
        // all the vertex keeps the placement.
        const int slots = skin.weightType == SkinType::BDEF1 ? 1 : skin.weightType == SkinType::BDEF4 ? 4 : 2;
        int used = 0;
        bool anyValid = false;
        for (int k = 0; k < slots; ++k) {
            if (!valid(skin.boneIndices[k])) continue;
            anyValid = true;
            const float w = slots == 1 ? 1.0f : skin.weights[k];
            if (w == 0.0f) continue;
            record.bones[used] = static_cast<uint32_t>(skin.boneIndices[k]);
            record.weights[used] = w;
            ++used;
        }
        if (used == 0) {
            record.bones[0] = anyValid ? out.ZeroSlot() : out.PlacementSlot();
            record.weights[0] = 1.0f;
            used = 1;
        }
        for (int k = used; k < 4; ++k) {
            record.bones[k] = out.ZeroSlot();
            record.weights[k] = 0.0f;
        }
        out.kinds[v] = used == 1 ? SkinKind::Blend1 : used == 2 ? SkinKind::Blend2 : SkinKind::Blend4;
    }
}

}  // namespace Vesma
