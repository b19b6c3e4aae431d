#include "app/SettingsPages.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/PanelHost.h"
#include "app/RenderSettingsEditor.h"

namespace TavrinApp {

SettingsPage::SettingsPage(PanelHost& host, const QString& title, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(title, this);
    QFont font = heading->font();
    font.setBold(true);
    heading->setFont(font);
    layout->addWidget(heading);
    layout->addStretch(1);
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("closeButton");
    layout->addWidget(close);
    connect(close, &QPushButton::clicked, this, [&host] { host.ClosePanel(); });
}

RenderConfigPage::RenderConfigPage(PanelHost& host, QWidget* parent) : SettingsPage(host, tr("Render settings"), parent) {
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    ProjectTavrin::SettingsExchange* settings = host.SharedRenderSettings();
    if (!settings) {
        auto* none = new QLabel(tr("Render settings need a graphics device."), this);
        none->setObjectName("noDeviceText");
        none->setWordWrap(true);
        layout->insertWidget(1, none);
        return;
    }
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    RenderEditorServices services;
    services.raytracing = host.RaytracingSupported();
    services.resources = host.ResourceTasks();
    services.search = host.LibrarySearch();
    m_editor = new RenderSettingsEditor(*settings, std::move(services), scroll);
    scroll->setWidget(m_editor);
    // The controls take the room the empty page left to its stretch.
    layout->insertWidget(1, scroll, 1);
    delete layout->takeAt(2);
}

}  // namespace TavrinApp
