#pragma once
// The settings pages the side panel shows once a scene is loaded. So far each holds only its
// title and close button, except the render configuration page, which holds the render
// settings' controls.
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

class ModelConfigPage : public SettingsPage {
    Q_OBJECT
public:
    explicit ModelConfigPage(PanelHost& host, QWidget* parent = nullptr);
};

}  // namespace TavrinApp
