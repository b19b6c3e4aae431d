#pragma once
// Conversions between the engine's UTF-16 texts and Qt strings, and the user-facing texts the
// pages show in their dialogs.
#include <QString>

#include <string>
#include <string_view>

namespace TavrinApp {

inline QString ToQString(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

inline std::u16string ToU16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

/// A dialog with one closing button.
struct Notice {
    QString title;
    QString text;
    QString button;
};

/// The notice for an action that needs a loaded scene.
Notice NoSceneNotice();
/// The notice for a device that cannot run the engine.
Notice UnsupportedDeviceNotice();

}  // namespace TavrinApp
