#pragma once
// The side-panel page where the user composes the scene: one row per entry, each with a model
// and a motion drop-down, and a load button that hands the whole list to the engine.
#include <QWidget>

#include <functional>
#include <vector>

#include "app/DeviceCheck.h"
#include "app/NoticePresenter.h"
#include "scene/SceneDescription.h"

class QComboBox;
class QTableWidget;

namespace TavrinApp {

class PanelHost;

/// Lets the user pick a file outside the offered lists; returns an empty string when cancelled.
using FilePicker = std::function<QString(QWidget* parent, const QString& caption, const QString& filter)>;
/// Starts loading the entries; false when the engine dropped the request.
using SceneLoadRequest = std::function<bool(std::vector<ProjectTavrin::SceneEntry>)>;

struct ModelLoadServices {
    ProjectTavrin::FileSearch search;
    DeviceCheck deviceCheck;
    NoticePresenter notice;
    FilePicker pickFile;
    SceneLoadRequest load;
};

class ModelLoadPage : public QWidget {
    Q_OBJECT
public:
    /// The drop-down item that opens the file picker.
    static QString BrowseItemText();

    /// Starts with one entry.
    ModelLoadPage(PanelHost& host, ModelLoadServices services, QWidget* parent = nullptr);

    void AddEntry();
    /// Removes the selected row; nothing without a selection.
    void RemoveSelected();
    void RemoveAll();
    /// Checks the device, then stops playback, starts the load, switches the host to its loaded
    /// state and closes the panel.
    void Load();
    /// Adds an entry for a model file (a dropped or picked file).
    void AddModelFile(const QString& path);
    /// Gives the last entry the motion file (a new entry when there is none).
    void SetMotionOfLastEntry(const QString& path);

    const ProjectTavrin::SceneDescription& Entries() const { return m_entries; }
    QTableWidget* Table() const { return m_table; }

private:
    void AppendRow(size_t index);
    QComboBox* MakeChoice(const std::vector<std::u16string>& items, const std::u16string& current, bool model);
    void OnChoice(QComboBox* box, bool model, int index);
    int RowOf(QComboBox* box) const;

    PanelHost& m_host;
    ModelLoadServices m_services;
    ProjectTavrin::SceneDescription m_entries;
    QTableWidget* m_table;
};

}  // namespace TavrinApp
