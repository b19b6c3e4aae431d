#pragma once
// The side-panel page that exports the scene as a video: the output file, the frame size and
// rate, the bitrate and length, the export button (it also cancels) and the progress.
//
// The export runs on a work item the host keeps (so it goes on when the panel shows another
// page); the page holds only a weak handle to it. Progress and the end of the export are posted
// to the UI thread and reach the page only while it still exists.
#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace ProjectTavrin {
class ExportSession;
struct ExportReport;
}  // namespace ProjectTavrin

namespace TavrinApp {

class PanelHost;

/// Asks where the video goes; returns the chosen path, empty when the user cancelled.
/// `startPath` is the suggested file in the folder the dialog opens in.
using SaveFilePicker =
    std::function<QString(QWidget* parent, const QString& caption, const QString& startPath, const QString& filter)>;

/// The export button's two looks; the values are the symbol-font codes of the two icons.
enum class ExportSymbol : int { Play = 57602, Cancel = 57610 };

class VideoOutputPage : public QWidget {
    Q_OBJECT
public:
    /// The file the picker suggests (".mp4" is added).
    static QString SuggestedFileName() { return QStringLiteral("Tavrin_Rendered"); }
    /// The picker's one file type.
    static QString FileFilter() { return QStringLiteral("视频文件 (*.mp4)"); }
    /// Logged when the export button is pressed before a file was chosen.
    static QString NoOutputFileMessage() { return QStringLiteral("文件输出路径有误，请检查！"); }

    /// Whole numbers the fields accept: the bitrate in units of 1024 bit/s (up to about
    /// 1 Gbit/s) and the length in seconds (up to a day).
    static constexpr int kMinBitrate = 1;
    static constexpr int kMaxBitrate = 1000000;
    static constexpr int kMinSeconds = 1;
    static constexpr int kMaxSeconds = 24 * 60 * 60;

    /// `pickFile` empty: QFileDialog's save dialog.
    VideoOutputPage(PanelHost& host, SaveFilePicker pickFile = {}, QWidget* parent = nullptr);

    /// Opens the picker; a chosen file replaces the output file, a cancelled picker changes
    /// nothing.
    void ChooseFile();
    /// Starts an export, or cancels the one this page started while it runs.
    void StartExport();
    /// Closes the panel, except while this page's export runs.
    void Close();

    /// The export this page started is running (as the UI thread knows it).
    bool IsExporting() const { return m_exporting; }
    ExportSymbol ButtonSymbol() const { return m_symbol; }
    /// The chosen output file; empty before one was chosen.
    QString OutputFile() const { return m_outputFile; }
    /// The message under the fields (why a number was refused); empty when all is well.
    QString ErrorText() const;

private:
    void BuildLayout();
    void SetSymbol(ExportSymbol symbol);
    /// Reads a field as a whole number in [min, max]. A bad one is marked, and `problem` says why
    /// unless it already holds an earlier field's reason.
    std::optional<int> ReadNumber(QLineEdit* field, const QString& name, int min, int max, QString& problem);
    /// Runs on the UI thread after frame `index` of `frameCount` was encoded.
    void ShowProgress(uint64_t serial, uint32_t index, uint32_t frameCount);
    /// Runs on the UI thread once the export has finished the file and restored the renderer.
    void ShowFinished(uint64_t serial);

    PanelHost& m_host;
    SaveFilePicker m_pickFile;
    QString m_outputFile;
    std::weak_ptr<ProjectTavrin::ExportSession> m_export;
    bool m_exporting = false;
    /// Counts this page's exports, so that a late report of an earlier one changes nothing.
    uint64_t m_serial = 0;
    ExportSymbol m_symbol = ExportSymbol::Play;
    QElapsedTimer m_started;

    QLabel* m_path = nullptr;
    QComboBox* m_sizes = nullptr;
    QComboBox* m_rates = nullptr;
    QLineEdit* m_bitrate = nullptr;
    QLineEdit* m_seconds = nullptr;
    QLabel* m_error = nullptr;
    QPushButton* m_exportButton = nullptr;
    QProgressBar* m_progress = nullptr;
};

/// The log line for the end of an export to `file`: where the video is, or what went wrong.
QString ExportEndMessage(const ProjectTavrin::ExportReport& report, const QString& file);

}  // namespace TavrinApp
