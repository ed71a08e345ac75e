#include "players/PlayerActions.h"

#include "calibration/FieldControls.h"
#include "engine/EngineFunctions.h"
#include "engine/PitchMeasurer.h"
#include "players/LivePlayers.h"
#include "players/PitchView.h"
#include "players/PlayerMarks.h"
#include "players/PlayersPanel.h"
#include "players/TrackStore.h"
#include "players/TrackingJob.h"
#include "players/TracksFile.h"
#include "players/TwoTeamExport.h"
#include "playback/VideoControls.h"
#include "screens/VideoScreenAdapter.h"
#include "window/Actions.h"
#include "VistrelInterface.h"
#include "VistrelTracking.h"

#include <QAction>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>

namespace {

// Points taken along each edge of the picture for the part of the pitch the
// camera sees; a lens bends the edges, so corners alone would not do.
constexpr int kEdgePoints = 16;
constexpr int kFullPercent = 100;

} // namespace

PlayerActions::PlayerActions(VistrelInterface* engine, VideoControls* videoControls,
    FieldControls* fieldControls, VideoScreenAdapter* screens, QMainWindow* window)
    : QObject(window)
    , engine(engine)
    , videoControls(videoControls)
    , fieldControls(fieldControls)
    , window(window)
{
    VistrelInterface* const forEngine = engine;
    measurer = std::make_unique<PitchMeasurer>(
        engine, [forEngine](const char* name) { return EngineFunctions::symbol(forEngine, name); });
    tracks = new TrackStore(this);
    tracking = new TrackingJob(engine, this);
    pitch = new PitchView(tracks);
    players = new PlayersPanel(tracks);
    pictureMarks = new PlayerMarks(tracks, measurer.get(), this);
    screens->addLayer(pictureMarks);
    livePlayers = new LivePlayers(engine, this);
    createActions();

    // The frame shown, whether played, stepped or sought.
    const auto followFrame = [this] { tracks->setFrame(this->videoControls->currentFrameIndex()); };
    connect(videoControls, &VideoControls::giveNewImage, this, followFrame);
    connect(videoControls, &VideoControls::stateChanged, this, followFrame);
    connect(fieldControls, &FieldControls::signalOverlayChanged, this,
        &PlayerActions::calibrationChanged);
    connect(tracking, &TrackingJob::finished, this, &PlayerActions::trackingFinished);
    connect(tracks, &TrackStore::failed, this, &PlayerActions::warn);
    connect(tracks, &TrackStore::tracksChanged, this, [this] {
        exportTracksAction->setEnabled(tracks->hasTracks());
        updateLiveAvailability();
    });
    connect(livePlayers, &LivePlayers::started, this, [this] { showLive(true); });
    connect(livePlayers, &LivePlayers::stopped, this, [this] { showLive(false); });
    connect(livePlayers, &LivePlayers::failed, this, &PlayerActions::warn);
}

QAction* PlayerActions::liveAction() const { return livePlayers->toggleAction(); }

// Live players are for a calibrated video whose tracks are not kept: kept
// tracks are better (smoothed, corrected) and the views show them.
void PlayerActions::updateLiveAvailability()
{
    livePlayers->setAvailable(!videoControls->currentFile().isEmpty()
        && fieldControls->cornersComplete() && !tracks->hasTracks());
}

void PlayerActions::showLive(bool on)
{
    TrackStore* shown = on ? livePlayers->store() : tracks;
    pitch->showStore(shown);
    pictureMarks->showStore(shown);
    if (on && pitchDock)
        pitchDock->show();
}

// The job is stopped before the engine it reads from goes.
PlayerActions::~PlayerActions()
{
    // Nothing of the window is told about a run ended this way.
    tracking->disconnect(this);
    tracking->cancel();
    tracking->wait();
}

void PlayerActions::createActions()
{
    track = makeAction(this, tr("Track players"), QString(),
        tr("Follow every player through the whole video and keep the tracks beside it"), nullptr,
        "trackPlayersAction");
    track->setEnabled(false);
    connect(track, &QAction::triggered, this, &PlayerActions::trackPlayers);
    exportTracksAction = makeAction(this, tr("Export &Tracks..."), QString(),
        tr("Write the players' tracks as CSV"), nullptr, "exportTracksAction");
    exportTracksAction->setEnabled(false);
    connect(exportTracksAction, &QAction::triggered, this, &PlayerActions::chooseExport);
}

void PlayerActions::addDocksTo(QMainWindow* mainWindow, QMenu* windowMenu)
{
    const auto addDock = [mainWindow, windowMenu](const QString& title, const char* name,
                             QWidget* content, Qt::DockWidgetArea area) {
        auto* dock = new QDockWidget(title);
        dock->setObjectName(QString::fromLatin1(name));
        dock->setWidget(content);
        mainWindow->addDockWidget(area, dock);
        dock->close();
        windowMenu->addAction(dock->toggleViewAction());
        return dock;
    };
    pitchDock = addDock(tr("Pitch view"), "pitchViewDockWidget", pitch, Qt::RightDockWidgetArea);
    playersDock = addDock(tr("Players"), "playersDockWidget", players, Qt::RightDockWidgetArea);
}

void PlayerActions::videoOpened(const QString& path)
{
    Q_UNUSED(path);
    // The engine forgets the live players of the video it closed.
    livePlayers->stop();
    track->setEnabled(!tracking->isRunning());
    calibrationChanged();
    loadTracks();
}

void PlayerActions::loadTracks()
{
    const QString video = videoControls->currentFile();
    tracks->clear();
    if (video.isEmpty())
        return;
    const TracksFile::Loaded loaded = TracksFile(video).load(engine->getFps());
    if (!loaded.tracks) {
        if (!loaded.path.isEmpty())
            emit notice(tr("The tracks in %1 cannot be used: %2").arg(loaded.path, loaded.error));
        return;
    }
    tracks->setTracks(*loaded.tracks, loaded.path);
    tracks->setFrame(videoControls->currentFrameIndex());
    if (pitchDock) {
        pitchDock->show();
        playersDock->show();
    }
}

bool PlayerActions::trackPlayers()
{
    if (videoControls->currentFile().isEmpty() || tracking->isRunning())
        return false;
    if (!fieldControls->cornersComplete()) {
        warn(tr("Click the four pitch corners first: the players are placed on the calibrated "
                "pitch."));
        return false;
    }
    if (tracks->hasTracks()
        && QMessageBox::question(window, tr("Track players"),
               tr("Tracking again replaces the tracks of this video, with their names and "
                  "corrections, once it is done. Track again?"))
            != QMessageBox::Yes)
        return false;
    trackedVideo = videoControls->currentFile();
    const QString target = TracksFile(trackedVideo).target();
    if (!tracking->start(target)) {
        warn(tr("This Vistrel library cannot track players."));
        return false;
    }
    track->setEnabled(false);
    progress = new QProgressDialog(tr("Tracking the players of %1...")
                                       .arg(QFileInfo(trackedVideo).fileName()),
        tr("Cancel"), 0, kFullPercent, window);
    progress->setObjectName(QStringLiteral("trackingProgress"));
    progress->setWindowTitle(tr("Track players"));
    progress->setWindowModality(Qt::NonModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    progress->setValue(0);
    connect(tracking, &TrackingJob::progress, progress, &QProgressDialog::setValue);
    connect(progress, &QProgressDialog::canceled, tracking, &TrackingJob::cancel);
    progress->show();
    return true;
}

void PlayerActions::trackingFinished(int result, const QString& csvPath)
{
    if (progress) {
        progress->disconnect(this);
        progress->deleteLater();
        progress = nullptr;
    }
    track->setEnabled(!videoControls->currentFile().isEmpty());
    if (result == VISTREL_TRACK_CANCELLED) {
        emit notice(TrackingJob::failureText(result, csvPath));
        return;
    }
    if (result != VISTREL_TRACK_DONE) {
        warn(TrackingJob::failureText(result, csvPath));
        return;
    }
    if (videoControls->currentFile() == trackedVideo)
        loadTracks();
    emit notice(tr("Players tracked into %1").arg(csvPath));
}

void PlayerActions::chooseExport()
{
    const QString tracksCsv = tr("Tracks (*.csv)");
    const QString twoTeams = tr("Two-team layout, one CSV per team (*.csv)");
    QString chosen;
    const QString path = QFileDialog::getSaveFileName(window, tr("Export Tracks"),
        QFileInfo(videoControls->currentFile()).completeBaseName() + QStringLiteral("-tracks.csv"),
        tracksCsv + QStringLiteral(";;") + twoTeams, &chosen);
    if (!path.isEmpty())
        exportTracks(path, chosen == twoTeams);
}

bool PlayerActions::exportTracks(const QString& path, bool twoTeams)
{
    if (!tracks->hasTracks())
        return false;
    QString error;
    if (twoTeams)
        error = TwoTeamExport::write(
            tracks->tracks(), fieldControls->fieldLength(), fieldControls->fieldWidth(), path);
    else
        TracksFile::save(tracks->tracks(), path, &error, tracks->path());
    if (!error.isEmpty()) {
        warn(tr("The tracks could not be exported: %1").arg(error));
        return false;
    }
    emit notice(tr("Tracks exported to %1").arg(path));
    return true;
}

void PlayerActions::calibrationChanged()
{
    pitch->setPitchSize(fieldControls->fieldLength(), fieldControls->fieldWidth());
    pitch->setCameraArea(cameraArea());
    pictureMarks->recompute();
    updateLiveAvailability();
}

// The picture's border taken to the pitch; the points beyond the horizon
// (which show no ground) are left out.
QPolygonF PlayerActions::cameraArea() const
{
    QPolygonF area;
    const double w = videoControls->frameWidth() - 1;
    const double h = videoControls->frameHeight() - 1;
    if (!fieldControls->cornersComplete() || w <= 0 || h <= 0)
        return area;
    const QPointF corners[] = { { 0, 0 }, { w, 0 }, { w, h }, { 0, h }, { 0, 0 } };
    for (int edge = 0; edge < 4; ++edge)
        for (int i = 0; i < kEdgePoints; ++i) {
            const double share = double(i) / kEdgePoints;
            const QPointF picture = corners[edge] + (corners[edge + 1] - corners[edge]) * share;
            if (const auto onPitch = measurer->toPitch(picture))
                area << *onPitch;
        }
    return area;
}

// A box that does not block the event loop.
void PlayerActions::warn(const QString& text)
{
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Tarvola"), text, QMessageBox::Ok, window);
    box->setObjectName(QStringLiteral("playersMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
