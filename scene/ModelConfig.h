#pragma once
// One entry of the scene list the user builds on the model load page, and the path pair that
// scene loading receives for it.
#include <string>
#include <string_view>
#include <vector>

namespace ProjectTavrin {

/// Model marker: the built-in sample model instead of a file.
inline constexpr std::u16string_view kSampleMarker = u"<Sample>";
/// Model marker: the entry carries the camera motion; no model is made for it.
inline constexpr std::u16string_view kCameraMarker = u"<Camera>";
/// Motion marker: no motion (a camera entry with it is skipped).
inline constexpr std::u16string_view kNoneMarker = u"<None>";

/// What scene loading receives for one entry: the model and motion texts, copied when the load is
/// requested. Markers are matched exactly (case and length); anything else is a file path.
struct SceneEntry {
    std::u16string Pmx;
    std::u16string Vmd;

    bool IsSample() const { return Pmx == kSampleMarker; }
    bool IsCamera() const { return Pmx == kCameraMarker; }
    bool HasMotion() const { return Vmd != kNoneMarker; }
    /// A camera entry without a motion adds nothing to the scene.
    bool IsSkipped() const { return IsCamera() && !HasMotion(); }

    bool operator==(const SceneEntry&) const = default;
};

/// One entry of the scene list. The UI shows it and edits Pmx and Vmd by picking from PmxList and
/// VmdList; the placement texts are kept for display only and never read by scene loading.
class ModelConfig {
public:
    std::u16string Pmx{kSampleMarker};
    std::u16string Vmd{kNoneMarker};
    std::u16string RotateX, RotateY, RotateZ;
    std::u16string PositionX, PositionY, PositionZ;
    /// Choices for Pmx: "<Sample>", "<Camera>", then full paths of the .pmx and .pmd files found.
    std::vector<std::u16string> PmxList;
    /// Choices for Vmd: "<None>", then full paths of the .vmd and .vpd files found.
    std::vector<std::u16string> VmdList;

    SceneEntry ToSceneEntry() const { return {Pmx, Vmd}; }
};

}  // namespace ProjectTavrin
