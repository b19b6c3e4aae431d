#pragma once
// The settings pages the side panel shows once a scene is loaded: the shared frame (title and
// close button), the render configuration page and, so far as a frame only, the video output
// page. The model configuration page has its own files.
#include <QWidget>

namespace TavrinApp {

class PanelHost;
class RenderSettingsEditor;

/// A titled page with a close button that closes the host's side panel.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    SettingsPage(PanelHost& host, const QString& title, QWidget* parent = nullptr);
};

class RenderConfigPage : public SettingsPage {
    Q_OBJECT
public:
    explicit RenderConfigPage(PanelHost& host, QWidget* parent = nullptr);
    /// The controls; null when the host has no renderer settings to edit.
    RenderSettingsEditor* Editor() const { return m_editor; }

private:
    RenderSettingsEditor* m_editor = nullptr;
};

}  // namespace TavrinApp
