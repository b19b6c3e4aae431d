#pragma once
// Files named on the command line, turned into the scene to open with.
#include <QString>
#include <QStringList>

#include <vector>

#include "scene/ModelConfig.h"

namespace TavrinApp {

struct StartScene {
    std::vector<ProjectTavrin::SceneEntry> entries;
    QString audio;          ///< empty: none
    QStringList ignored;    ///< names that are neither model, motion nor audio
};

/// In order: each .pmx or .pmd starts a model entry; a .vmd (or a .vpd pose) gives the last model
/// its motion, or, when
/// there is no model yet or it has one already, becomes the camera motion; an audio file
/// (.wav, .mp3, .flac, .ogg, .m4a, .aac, .opus) is the audio (the last one wins). Then each of
/// `cameraMotions` becomes a camera entry, and `audio`, when given, is the audio.
StartScene SceneFromArguments(const QStringList& files, const QStringList& cameraMotions = {}, const QString& audio = {});

}  // namespace TavrinApp
