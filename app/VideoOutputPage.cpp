#include "app/VideoOutputPage.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>

#include <cmath>

#include "app/FieldMark.h"
#include "app/PanelHost.h"
#include "app/UiText.h"
#include "app/UiThread.h"
#include "core/MessageLog.h"
#include "export/ExportSettings.h"
#include "export/VideoExport.h"
#include "scene/VideoLibrary.h"

namespace TavrinApp {
namespace {

constexpr int kDefaultSize = 1;     // 1920 x 1080
constexpr int kDefaultRate = 1;     // 60 frames per second
constexpr int kDefaultBitrate = 8000;
constexpr int kDefaultSeconds = 10;

QString VideosFolder() {
    const std::filesystem::path xdg = ProjectTavrin::VideosDirectory();
    if (!xdg.empty()) return QString::fromStdString(xdg.string());
    const QString movies = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return movies.isEmpty() ? QDir::homePath() : movies;
}

QString PickWithDialog(QWidget* parent, const QString& caption, const QString& startPath, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, startPath, filter);
}

/// "1 min 05 s" style text for the time an export still needs.
QString TimeLeftText(double seconds) {
    const qint64 whole = static_cast<qint64>(std::ceil(std::max(seconds, 0.0)));
    if (whole < 60) return QStringLiteral("%1 s").arg(whole);
    return QStringLiteral("%1 min %2 s").arg(whole / 60).arg(whole % 60, 2, 10, QChar('0'));
}

}  // namespace

QString ExportEndMessage(const ProjectTavrin::ExportReport& report, const QString& file) {
    // One arg() call for both values: a "%2" in the file name must not take the frame count.
    const QString frames = QString::number(report.framesWritten);
    if (!report.opened || !report.finalised) return QStringLiteral("No video was written to %1.").arg(file);
    if (report.canceled) return QStringLiteral("Export cancelled: %1 holds the %2 frames written before.").arg(file, frames);
    return QStringLiteral("Video written to %1 (%2 frames).").arg(file, frames);
}

VideoOutputPage::VideoOutputPage(PanelHost& host, SaveFilePicker pickFile, QWidget* parent)
    : QWidget(parent), m_host(host), m_pickFile(pickFile ? std::move(pickFile) : SaveFilePicker(PickWithDialog)) {
    BuildLayout();
}

void VideoOutputPage::BuildLayout() {
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(tr("Video output"), this);
    QFont font = heading->font();
    font.setBold(true);
    heading->setFont(font);
    layout->addWidget(heading);

    auto* fileRow = new QHBoxLayout();
    m_path = new QLabel(this);
    m_path->setObjectName("pathText");
    m_path->setWordWrap(true);
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* choose = new QPushButton(tr("Choose file…"), this);
    choose->setObjectName("chooseButton");
    fileRow->addWidget(m_path, 1);
    fileRow->addWidget(choose);
    layout->addLayout(fileRow);

    auto* form = new QFormLayout();
    m_sizes = new QComboBox(this);
    m_sizes->setObjectName("sizeList");
    for (const ProjectTavrin::FrameSize& size : ProjectTavrin::kExportSizes)
        m_sizes->addItem(QStringLiteral("%1 × %2").arg(size.width).arg(size.height));
    m_sizes->setCurrentIndex(kDefaultSize);
    m_rates = new QComboBox(this);
    m_rates->setObjectName("rateList");
    for (int index = 0; index < 3; ++index)
        m_rates->addItem(QStringLiteral("%1 fps").arg(ProjectTavrin::ExportFpsForIndex(index)));
    m_rates->setCurrentIndex(kDefaultRate);
    m_bitrate = new QLineEdit(QString::number(kDefaultBitrate), this);
    m_bitrate->setObjectName("bitrateField");
    m_bitrate->setToolTip(tr("In units of 1024 bit/s"));
    m_seconds = new QLineEdit(QString::number(kDefaultSeconds), this);
    m_seconds->setObjectName("secondsField");
    form->addRow(tr("Size"), m_sizes);
    form->addRow(tr("Frame rate"), m_rates);
    form->addRow(tr("Bitrate (× 1024 bit/s)"), m_bitrate);
    form->addRow(tr("Length (seconds)"), m_seconds);
    layout->addLayout(form);

    m_error = new QLabel(this);
    m_error->setObjectName("errorText");
    m_error->setWordWrap(true);
    m_error->setStyleSheet("color: #d03030;");
    layout->addWidget(m_error);

    m_exportButton = new QPushButton(this);
    m_exportButton->setObjectName("exportButton");
    layout->addWidget(m_exportButton);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("progressBar");
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    layout->addWidget(m_progress);
    layout->addStretch(1);

    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName("closeButton");
    layout->addWidget(close);

    SetSymbol(ExportSymbol::Play);
    connect(choose, &QPushButton::clicked, this, &VideoOutputPage::ChooseFile);
    connect(m_exportButton, &QPushButton::clicked, this, &VideoOutputPage::StartExport);
    connect(close, &QPushButton::clicked, this, &VideoOutputPage::Close);
}

void VideoOutputPage::SetSymbol(ExportSymbol symbol) {
    m_symbol = symbol;
    QStyle* style = this->style();
    if (symbol == ExportSymbol::Play) {
        m_exportButton->setIcon(QIcon::fromTheme(QStringLiteral("media-playback-start"),
                                                 style->standardIcon(QStyle::SP_MediaPlay)));
        m_exportButton->setText(tr("Export"));
    } else {
        m_exportButton->setIcon(QIcon::fromTheme(QStringLiteral("process-stop"),
                                                 style->standardIcon(QStyle::SP_DialogCancelButton)));
        m_exportButton->setText(tr("Cancel"));
    }
}

void VideoOutputPage::ChooseFile() {
    const QString start = QDir(VideosFolder()).filePath(SuggestedFileName() + QStringLiteral(".mp4"));
    QString path = m_pickFile(this, tr("Save the video"), start, FileFilter());
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().compare(QStringLiteral("mp4"), Qt::CaseInsensitive) != 0) path += QStringLiteral(".mp4");
    m_outputFile = QFileInfo(path).absoluteFilePath();
    m_path->setText(m_outputFile);
}

QString VideoOutputPage::ErrorText() const { return m_error->text(); }

std::optional<int> VideoOutputPage::ReadNumber(QLineEdit* field, const QString& name, int min, int max,
                                               QString& problem) {
    // Only digits, between optional blanks: "8000kb" or "1e4" would otherwise pass as a prefix.
    const QString text = field->text().trimmed();
    bool digitsOnly = !text.isEmpty();
    for (QChar c : text) digitsOnly = digitsOnly && c >= QChar('0') && c <= QChar('9');
    bool ok = false;
    const qlonglong value = digitsOnly ? text.toLongLong(&ok) : 0;
    const bool bad = !ok || value < min || value > max;
    const QString fieldProblem =
        bad ? tr("%1 must be a whole number from %2 to %3.").arg(name).arg(min).arg(max) : QString();
    MarkFieldProblem(field, fieldProblem);
    if (!bad) return static_cast<int>(value);
    if (problem.isEmpty()) problem = fieldProblem;
    return std::nullopt;
}

void VideoOutputPage::StartExport() {
    if (m_exporting) {
        if (std::shared_ptr<ProjectTavrin::ExportSession> session = m_export.lock()) session->Cancel();
        m_exporting = false;
        SetSymbol(ExportSymbol::Play);
        return;
    }
    if (m_outputFile.isEmpty()) {
        MessageLog::Instance().Append(ToU16(NoOutputFileMessage()));
        return;
    }
    // Both fields are checked before anything changes, so a bad one leaves nothing half started.
    QString problem;
    const std::optional<int> bitrate = ReadNumber(m_bitrate, tr("The bitrate"), kMinBitrate, kMaxBitrate, problem);
    const std::optional<int> seconds = ReadNumber(m_seconds, tr("The length"), kMinSeconds, kMaxSeconds, problem);
    m_error->setText(problem);
    if (!bitrate || !seconds) {
        (bitrate ? m_seconds : m_bitrate)->setFocus();
        return;
    }
    // Exports share the renderer: one started from another page (or still finishing after a
    // cancel) keeps this one from starting, before playback is touched.
    if (ProjectTavrin::ExportSession::AnyRunning()) {
        MessageLog::Instance().Append(ProjectTavrin::kExportAlreadyRunningMessage);
        return;
    }

    ProjectTavrin::ExportJob job;
    const ProjectTavrin::FrameSize size = ProjectTavrin::ExportSizeForIndex(m_sizes->currentIndex());
    job.width = size.width;
    job.height = size.height;
    job.fps = ProjectTavrin::ExportFpsForIndex(m_rates->currentIndex());
    job.bitrate = *bitrate;
    job.frameCount = ProjectTavrin::ExportFrameCount(job.fps, *seconds);
    job.output = std::filesystem::path(m_outputFile.toStdString());

    const uint64_t serial = ++m_serial;
    const QPointer<VideoOutputPage> page(this);
    job.onProgress = [page, serial, frames = job.frameCount](uint32_t index, double) {
        PostToUiThread([page, serial, index, frames] {
            if (page) page->ShowProgress(serial, index, frames);
        });
    };
    job.onFinished = [page, serial, file = m_outputFile](const ProjectTavrin::ExportReport& report) {
        // The log hears of the end even when the page is gone.
        MessageLog::Instance().Append(ToU16(ExportEndMessage(report, file)));
        PostToUiThread([page, serial] {
            if (page) page->ShowFinished(serial);
        });
    };

    m_host.Stop();
    std::shared_ptr<ProjectTavrin::ExportSession> session = m_host.StartExport(std::move(job));
    if (!session) return;
    m_export = session;
    m_exporting = true;
    m_started.start();
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("%p%"));
    SetSymbol(ExportSymbol::Cancel);
}

void VideoOutputPage::Close() {
    if (m_exporting) return;
    m_host.ClosePanel();
}

void VideoOutputPage::ShowProgress(uint64_t serial, uint32_t index, uint32_t frameCount) {
    if (serial != m_serial) return;
    const int value = static_cast<int>(ProjectTavrin::ExportProgress(index, frameCount));
    if (value != m_progress->value()) m_progress->setValue(value);
    const uint32_t done = index + 1;
    const double elapsed = static_cast<double>(m_started.elapsed()) / 1000.0;
    const double left = elapsed / done * (frameCount > done ? frameCount - done : 0);
    m_progress->setFormat(tr("%1 / %2 frames, %3 left").arg(done).arg(frameCount).arg(TimeLeftText(left)));
}

void VideoOutputPage::ShowFinished(uint64_t serial) {
    if (serial != m_serial) return;
    m_exporting = false;
    SetSymbol(ExportSymbol::Play);
}

}  // namespace TavrinApp
