#include "model/morph/PMXMorphSetup.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/MessageLog.h"
#include "model/morph/GroupMorphLimit.h"
#include "model/morph/MMDMorphManager.h"
#include "model/skeleton/MMDNodeManager.h"

namespace Vesma {

namespace {

MorphType KindOf(PMXMorphType type) {
    switch (type) {
        case PMXMorphType::Group: return MorphType::Group;
        case PMXMorphType::Position: return MorphType::Position;
        case PMXMorphType::Bone: return MorphType::Bone;
        case PMXMorphType::UV: return MorphType::UV;
        case PMXMorphType::Material: return MorphType::Material;
        default: return MorphType::None;
    }
}

bool InRange(int32_t index, size_t count) { return index >= 0 && static_cast<uint64_t>(index) < count; }

}  // namespace

void SetupPMXMorphs(std::span<const PMXMorph> morphs, const MMDNodeManager& nodes, size_t vertexCount,
                    size_t materialCount, MMDMorphManager& out) {
    out.Clear();
    size_t dropped = 0;
    uint64_t directWork = 0;

    for (const PMXMorph& pmx : morphs) {
        MMDMorph* morph = out.AddMorph(pmx.name, KindOf(pmx.morphType));
        const uint64_t list = morph->GetListIndex();
        switch (morph->GetType()) {
            case MorphType::Position: {
                std::vector<PositionMorphOffset> offsets;
                offsets.reserve(pmx.positionMorph.size());
                for (const PMXPositionMorph& o : pmx.positionMorph) {
                    if (InRange(o.vertexIndex, vertexCount)) {
                        offsets.push_back({static_cast<uint32_t>(o.vertexIndex),
                                           {o.position.x, o.position.y, -o.position.z}});
                    } else {
                        ++dropped;
                    }
                }
                directWork += offsets.size();
                out.SetPositionOffsets(list, std::move(offsets));
                break;
            }
            case MorphType::UV: {
                std::vector<UVMorphOffset> offsets;
                offsets.reserve(pmx.uvMorph.size());
                for (const PMXUVMorph& o : pmx.uvMorph) {
                    if (InRange(o.vertexIndex, vertexCount)) {
                        offsets.push_back({static_cast<uint32_t>(o.vertexIndex), o.uv});
                    } else {
                        ++dropped;
                    }
                }
                directWork += offsets.size();
                out.SetUVOffsets(list, std::move(offsets));
                break;
            }
            case MorphType::Bone: {
                auto& offsets = out.GetBoneMorphs()[list];
                for (const PMXBoneMorph& o : pmx.boneMorph) {
                    if (PMXNode* node = nodes.GetNode(o.boneIndex)) {
                        const Math::quat& q = o.quaternion;
                        offsets.push_back({node, {o.position.x, o.position.y, -o.position.z}, {-q.x, -q.y, q.z, q.w}});
                    } else {
                        ++dropped;
                    }
                }
                directWork += offsets.size();
                break;
            }
            case MorphType::Material: {
                auto& offsets = out.GetMaterialMorphs()[list];
                for (const PMXMaterialMorph& o : pmx.materialMorph) {
                    if (o.materialIndex == -1 || InRange(o.materialIndex, materialCount)) {
                        offsets.push_back(o);
                    } else {
                        ++dropped;
                    }
                }
                directWork += offsets.size();
                break;
            }
            case MorphType::Group: {
                auto& offsets = out.GetGroupMorphs()[list];
                for (const PMXGroupMorph& o : pmx.groupMorph) {
                    if (InRange(o.morphIndex, morphs.size())) {
                        offsets.push_back({static_cast<uint32_t>(o.morphIndex), o.weight});
                    } else {
                        ++dropped;
                    }
                }
                directWork += offsets.size();
                break;
            }
            case MorphType::None:
                break;
        }
        directWork += 1;
    }

    const size_t cut = CountCutGroups(out);
    const size_t emptied = LimitGroupWork(out, std::max<uint64_t>(uint64_t{1} << 22, directWork * 16));

    MessageLog& log = MessageLog::Instance();
    if (dropped > 0) {
        log.AppendUtf8(std::to_string(dropped) +
                       " morph offset(s) name a vertex, bone, material or morph that does not exist and are ignored.");
    }
    if (cut > 0) {
        log.AppendUtf8(std::to_string(cut) + " group morph(s) contain themselves or nest deeper than " +
                       std::to_string(MMDMorphManager::kMaxGroupDepth) + " levels; the deeper levels are ignored.");
    }
    if (emptied > 0) {
        log.AppendUtf8(std::to_string(emptied) + " group morph(s) would apply too many morphs and are ignored.");
    }
}

}  // namespace Vesma
