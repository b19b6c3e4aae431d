#include "app/CommandLine.h"

#include <QFileInfo>

#include "app/UiText.h"

namespace TavrinApp {

StartScene SceneFromArguments(const QStringList& files, const QStringList& cameraMotions, const QString& audio) {
    static const QStringList kAudioSuffixes{"wav", "mp3", "flac", "ogg", "m4a", "aac", "opus"};
    StartScene scene;
    for (const QString& file : files) {
        const QFileInfo info(file);
        const QString suffix = info.suffix().toLower();
        const std::u16string path = ToU16(info.absoluteFilePath());
        if (suffix == "pmx" || suffix == "pmd") {
            scene.entries.push_back({path, std::u16string(ProjectTavrin::kNoneMarker)});
        } else if (suffix == "vmd" || suffix == "vpd") {
            if (!scene.entries.empty() && !scene.entries.back().IsCamera() && !scene.entries.back().HasMotion())
                scene.entries.back().Vmd = path;
            else
                scene.entries.push_back({std::u16string(ProjectTavrin::kCameraMarker), path});
        } else if (kAudioSuffixes.contains(suffix)) {
            scene.audio = info.absoluteFilePath();
        } else {
            scene.ignored.push_back(file);
        }
    }
    for (const QString& motion : cameraMotions)
        scene.entries.push_back({std::u16string(ProjectTavrin::kCameraMarker), ToU16(QFileInfo(motion).absoluteFilePath())});
    if (!audio.isEmpty()) scene.audio = QFileInfo(audio).absoluteFilePath();
    return scene;
}

}  // namespace TavrinApp
