#pragma once
// Bounds on the work group morphs can cause. The manager applies groups inside groups down to
// MMDMorphManager::kMaxGroupDepth levels, so a group that contains itself, or groups that fan out
// level after level, can still make one pass touch an enormous number of offsets. These count the
// groups that reach the depth limit and empty the groups that would cost too much.
#include <cstddef>
#include <cstdint>

namespace Vesma {

class MMDMorphManager;

/// Bounds the work groups can cause: with groups nested up to kMaxGroupDepth, applying every
/// morph once may touch at most `budget` offsets (a morph without offsets counts one). Groups
/// are emptied, most expensive first, until the pass fits. Returns how many were emptied.
size_t LimitGroupWork(MMDMorphManager& morphs, uint64_t budget);

/// How many non-empty groups reach a group at kMaxGroupDepth (they nest too deeply or contain
/// themselves), so part of them is cut off.
size_t CountCutGroups(const MMDMorphManager& morphs);

}  // namespace Vesma
