#include "export/ExportController.h"

#include "export/AnnotatedFrame.h"
#include "measuring/MeasurementModel.h"
#include "playback/VideoControls.h"
#include "export/VideoWriter.h"
#include "window/Actions.h"

#include <QAction>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

namespace {

constexpr int kProgressSteps = 100;
constexpr int kProgressRefreshMs = 100;

} // namespace

ExportController::ExportController(VistrelInterface* engine, VideoControls* controls,
    const MeasurementModel* measurements, bool screenDrawsLines, QWidget* window)
    : QObject(window)
    , engine(engine)
    , controls(controls)
    , measurements(measurements)
    , screenDrawsLines(screenDrawsLines)
    , window(window)
{ }

void ExportController::addActionsTo(QMenu* menu, QAction* before)
{
    QAction* exportAction = makeAction(this, tr("Export &Video..."), QString(),
        tr("Write the video with the overlay and the measurements burnt in"), nullptr,
        "exportVideoAction");
    connect(exportAction, &QAction::triggered, this, &ExportController::exportVideo);
    QAction* pictureAction = makeAction(this, tr("Save &Picture..."), tr("Ctrl+Shift+S"),
        tr("Save the frame on screen with the overlay and the measurements as PNG"), nullptr,
        "savePictureAction");
    connect(pictureAction, &QAction::triggered, this, &ExportController::savePicture);
    for (QAction* action : { exportAction, pictureAction }) {
        action->setEnabled(false);
        connect(controls, &VideoControls::videoOpened, action,
            [action] { action->setEnabled(true); });
    }
    menu->insertActions(before, { exportAction, pictureAction });
    menu->insertSeparator(before);
}

std::vector<Measurement> ExportController::currentMeasurements() const
{
    return measurements ? measurements->measurements() : std::vector<Measurement>();
}

void ExportController::exportVideo()
{
    if (controls->currentFile().isEmpty())
        return;
    const std::optional<VideoWriter::Codec> codec = VideoWriter(engine).bestCodec();
    if (!codec) {
        showFailure(tr("Export video"), QString(),
            tr("This machine has no video encoder the engine can use."));
        return;
    }
    long long first = 0;
    long long last = -1;
    if (!askRange(&first, &last))
        return;
    const QString suffix = VideoWriter::suffixFor(*codec);
    const QString filter = *codec == VideoWriter::Codec::H264 ? tr("H.264 video (*.mp4)")
                                                              : tr("Motion JPEG video (*.avi)");
    const QString path = askTarget(tr("Export video"), suffix, filter, tr("-annotated"));
    if (path.isEmpty())
        return;
    const VideoExporter::Result result = exportTo(path, first, last);
    if (!result.written && !result.cancelled)
        showFailure(tr("Export video"), result.path.isEmpty() ? path : result.path, result.error);
}

// The whole video, or from the frame on screen to an end frame chosen.
bool ExportController::askRange(long long* first, long long* last) const
{
    const long long total = VideoExporter(engine, {}).frameTotal();
    const long long current = std::max(0LL, controls->currentFrameIndex());
    const QStringList choices { tr("The whole video"),
        tr("From the frame on screen (%1) to a chosen frame").arg(current) };
    bool chosen = false;
    const QString choice = QInputDialog::getItem(
        window, tr("Export video"), tr("Frames to export:"), choices, 0, false, &chosen);
    if (!chosen)
        return false;
    if (choice == choices.first())
        return true;
    const int maximum = int(std::min<long long>(std::max(total - 1, current), INT_MAX));
    const int end = QInputDialog::getInt(window, tr("Export video"), tr("Last frame to export:"),
        maximum, int(std::min<long long>(current, INT_MAX)), maximum, 1, &chosen);
    if (!chosen)
        return false;
    *first = current;
    *last = end;
    return true;
}

QString ExportController::askTarget(const QString& title, const QString& suffix,
    const QString& filter, const QString& nameTail) const
{
    const QFileInfo video(controls->currentFile());
    const QString proposal
        = video.dir().filePath(video.completeBaseName() + nameTail + QLatin1Char('.') + suffix);
    QString path = QFileDialog::getSaveFileName(window, title, proposal, filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffix;
    return path;
}

VideoExporter::Result ExportController::exportTo(
    const QString& path, long long first, long long last)
{
    const bool wasPlaying = controls->isPlaying();
    const long long shown = controls->currentFrameIndex();
    if (wasPlaying)
        controls->playPauseVideo();

    QProgressDialog progress(tr("Exporting %1 ...").arg(QFileInfo(path).fileName()), tr("Cancel"),
        0, kProgressSteps, window);
    progress.setObjectName(QStringLiteral("exportProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);

    std::atomic<bool> cancel { false };
    std::atomic<int> percent { 0 };
    VideoExporter::Result result;
    const VideoExporter exporter(engine, currentMeasurements(), screenDrawsLines);
    std::unique_ptr<QThread> worker(QThread::create([&] {
        result
            = exporter.run(path, first, last, cancel, [&percent](long long done, long long total) {
                  percent = int(done * kProgressSteps / std::max(total, 1LL));
              });
    }));
    QEventLoop waiting;
    QTimer refresh;
    connect(&refresh, &QTimer::timeout, &progress, [&] {
        if (progress.wasCanceled())
            cancel = true;
        progress.setValue(std::min(percent.load(), kProgressSteps - 1));
    });
    connect(&progress, &QProgressDialog::canceled, &progress, [&cancel] { cancel = true; });
    connect(worker.get(), &QThread::finished, &waiting, &QEventLoop::quit);
    refresh.start(kProgressRefreshMs);
    worker->start();
    waiting.exec();
    worker->wait();
    refresh.stop();
    progress.reset();

    controls->showFrame(std::max(shown, 0LL));
    if (wasPlaying)
        controls->playPauseVideo();
    return result;
}

void ExportController::savePicture()
{
    if (controls->currentFile().isEmpty())
        return;
    const QString tail = tr("-frame%1").arg(std::max(0LL, controls->currentFrameIndex()));
    const QString path
        = askTarget(tr("Save picture"), QStringLiteral("png"), tr("PNG image (*.png)"), tail);
    if (!path.isEmpty() && !savePictureTo(path))
        showFailure(tr("Save picture"), path, tr("The picture cannot be written there."));
}

bool ExportController::savePictureTo(const QString& path)
{
    QImage picture;
    {
        const AnnotatedFrame annotated(engine, currentMeasurements(), screenDrawsLines);
        picture = annotated.current();
    }
    // The OpenGL screen shows the picture without the engine's lines again.
    if (screenDrawsLines)
        controls->redrawFrame();
    return !picture.isNull() && picture.save(path, "PNG");
}

void ExportController::showFailure(
    const QString& title, const QString& path, const QString& reason) const
{
    QMessageBox box(QMessageBox::Warning, title,
        path.isEmpty() ? reason : tr("%1 was not written.").arg(QDir::toNativeSeparators(path)),
        QMessageBox::Ok, window);
    box.setObjectName(QStringLiteral("exportErrorBox"));
    if (!path.isEmpty())
        box.setInformativeText(reason);
    box.exec();
}
