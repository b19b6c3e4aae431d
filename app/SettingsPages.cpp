#include "app/SettingsPages.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/PanelHost.h"

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

RenderConfigPage::RenderConfigPage(PanelHost& host, QWidget* parent) : SettingsPage(host, tr("Render settings"), parent) {}
ModelConfigPage::ModelConfigPage(PanelHost& host, QWidget* parent) : SettingsPage(host, tr("Model settings"), parent) {}
VideoOutputPage::VideoOutputPage(PanelHost& host, QWidget* parent) : SettingsPage(host, tr("Video output"), parent) {}

}  // namespace TavrinApp
