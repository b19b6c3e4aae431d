#include "app/ModelLoadPage.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/PanelHost.h"
#include "app/UiText.h"

namespace TavrinApp {
namespace {

constexpr int kModelColumn = 0;
constexpr int kMotionColumn = 1;

}  // namespace

QString ModelLoadPage::BrowseItemText() { return QStringLiteral("Browse…"); }

ModelLoadPage::ModelLoadPage(PanelHost& host, ModelLoadServices services, QWidget* parent)
    : QWidget(parent), m_host(host), m_services(std::move(services)), m_entries(m_services.search) {
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(tr("Models and motions"), this);
    layout->addWidget(heading);

    m_table = new QTableWidget(0, 2, this);
    m_table->setHorizontalHeaderLabels({tr("Model"), tr("Motion")});
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(m_table, 1);

    auto* edits = new QHBoxLayout();
    auto* add = new QPushButton(tr("Add"), this);
    auto* remove = new QPushButton(tr("Remove"), this);
    auto* clear = new QPushButton(tr("Clear"), this);
    edits->addWidget(add);
    edits->addWidget(remove);
    edits->addWidget(clear);
    layout->addLayout(edits);

    auto* actions = new QHBoxLayout();
    auto* load = new QPushButton(tr("Load"), this);
    load->setObjectName("loadButton");
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("closeButton");
    actions->addWidget(load);
    actions->addWidget(close);
    layout->addLayout(actions);

    connect(add, &QPushButton::clicked, this, &ModelLoadPage::AddEntry);
    connect(remove, &QPushButton::clicked, this, &ModelLoadPage::RemoveSelected);
    connect(clear, &QPushButton::clicked, this, &ModelLoadPage::RemoveAll);
    connect(load, &QPushButton::clicked, this, &ModelLoadPage::Load);
    connect(close, &QPushButton::clicked, this, [this] { m_host.ClosePanel(); });

    AddEntry();
}

void ModelLoadPage::AddEntry() {
    m_entries.AddEntry();
    AppendRow(m_entries.Size() - 1);
}

void ModelLoadPage::AppendRow(size_t index) {
    const ProjectTavrin::ModelConfig& entry = m_entries.At(index);
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    // Items under the drop-downs make the row selectable.
    m_table->setItem(row, kModelColumn, new QTableWidgetItem());
    m_table->setItem(row, kMotionColumn, new QTableWidgetItem());
    m_table->setCellWidget(row, kModelColumn, MakeChoice(entry.PmxList, entry.Pmx, true));
    m_table->setCellWidget(row, kMotionColumn, MakeChoice(entry.VmdList, entry.Vmd, false));
}

QComboBox* ModelLoadPage::MakeChoice(const std::vector<std::u16string>& items, const std::u16string& current, bool model) {
    auto* box = new QComboBox(m_table);
    for (const auto& item : items) box->addItem(ToQString(item));
    box->addItem(BrowseItemText());
    box->setCurrentIndex(box->findText(ToQString(current)));
    box->setProperty("previousIndex", box->currentIndex());
    connect(box, &QComboBox::activated, this, [this, box, model](int index) { OnChoice(box, model, index); });
    return box;
}

int ModelLoadPage::RowOf(QComboBox* box) const {
    for (int row = 0; row < m_table->rowCount(); ++row)
        if (m_table->cellWidget(row, kModelColumn) == box || m_table->cellWidget(row, kMotionColumn) == box) return row;
    return -1;
}

void ModelLoadPage::OnChoice(QComboBox* box, bool model, int index) {
    const int row = RowOf(box);
    if (row < 0 || static_cast<size_t>(row) >= m_entries.Size()) return;
    ProjectTavrin::ModelConfig& entry = m_entries.At(static_cast<size_t>(row));
    QString chosen = box->itemText(index);
    if (index == box->count() - 1) {
        // The last item is "Browse…": pick a file and offer it from now on.
        const QString picked = m_services.pickFile
                                   ? m_services.pickFile(this, model ? tr("Choose a model") : tr("Choose a motion"),
                                                         model ? tr("Models (*.pmx *.pmd)") : tr("Motions and poses (*.vmd *.vpd)"))
                                   : QString();
        if (picked.isEmpty()) {
            box->setCurrentIndex(box->property("previousIndex").toInt());
            return;
        }
        auto& list = model ? entry.PmxList : entry.VmdList;
        list.push_back(ToU16(picked));
        box->insertItem(box->count() - 1, picked);
        box->setCurrentIndex(box->count() - 2);
        chosen = picked;
    }
    box->setProperty("previousIndex", box->currentIndex());
    (model ? entry.Pmx : entry.Vmd) = ToU16(chosen);
}

void ModelLoadPage::RemoveSelected() {
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (rows.isEmpty()) return;
    const int row = rows.front().row();
    m_entries.RemoveSelected(row);
    m_table->removeRow(row);
}

void ModelLoadPage::RemoveAll() {
    m_entries.RemoveAll();
    m_table->setRowCount(0);
}

void ModelLoadPage::AddModelFile(const QString& path) {
    AddEntry();
    const size_t last = m_entries.Size() - 1;
    ProjectTavrin::ModelConfig& entry = m_entries.At(last);
    auto* box = static_cast<QComboBox*>(m_table->cellWidget(static_cast<int>(last), kModelColumn));
    int index = box->findText(path);
    if (index < 0) {
        entry.PmxList.push_back(ToU16(path));
        index = box->count() - 1;
        box->insertItem(index, path);
    }
    box->setCurrentIndex(index);
    box->setProperty("previousIndex", index);
    entry.Pmx = ToU16(path);
}

void ModelLoadPage::SetMotionOfLastEntry(const QString& path) {
    if (m_entries.Empty()) AddEntry();
    const size_t last = m_entries.Size() - 1;
    ProjectTavrin::ModelConfig& entry = m_entries.At(last);
    auto* box = static_cast<QComboBox*>(m_table->cellWidget(static_cast<int>(last), kMotionColumn));
    int index = box->findText(path);
    if (index < 0) {
        entry.VmdList.push_back(ToU16(path));
        index = box->count() - 1;
        box->insertItem(index, path);
    }
    box->setCurrentIndex(index);
    box->setProperty("previousIndex", index);
    entry.Vmd = ToU16(path);
}

void ModelLoadPage::Load() {
    const DeviceSupport support = m_services.deviceCheck ? m_services.deviceCheck() : DeviceSupport::QueryFailed;
    if (support == DeviceSupport::QueryFailed) return;
    if (support == DeviceSupport::Unsupported) {
        if (m_services.notice) m_services.notice(this, UnsupportedDeviceNotice());
        return;
    }
    std::vector<ProjectTavrin::SceneEntry> entries = m_entries.ReadAll();
    m_host.Stop();
    if (m_services.load) m_services.load(std::move(entries));
    m_host.ShowLoadedState();
    m_host.ClosePanel();
}

}  // namespace TavrinApp
