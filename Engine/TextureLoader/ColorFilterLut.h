#pragma once
// The current colour-grading table of the post-processing colour filter: one process-wide 3D
// texture, empty (SRV -1) until a table has been loaded.
#include "Engine/TextureLoader/TextureLoader.h"

#include <filesystem>

namespace Engine {

/// The process-wide table the colour filter samples; the filter does nothing while its SRV is -1.
TextureResource& GetColorFilterLut();

/// Loads the table at `path` ("<Sample>" picks the table built into the program) into
/// GetColorFilterLut() on a batch of its own and waits for it. A missing file is logged and
/// keeps the current table; a file that is not a 3D table is logged and leaves the filter
/// without a table.
void LoadColorFilterLut(const std::filesystem::path& path);

}  // namespace Engine
