#pragma once

#include <QObject>
#include <QPolygonF>

#include <memory>

class FieldControls;
class LivePlayers;
class PitchMeasurer;
class PitchView;
class PlayerMarks;
class PlayersPanel;
class QAction;
class QDockWidget;
class QMainWindow;
class QMenu;
class QProgressDialog;
class QWidget;
class TrackingJob;
class TrackStore;
class VideoControls;
class VideoScreenAdapter;
class VistrelInterface;

// The players: Track players (Measure menu) on a thread of its own with a
// progress bar and Cancel, the tracks kept beside the video and read back
// when it opens, the Pitch view and Players docks, the marks on the
// picture, and File > Export Tracks (the tracks CSV or the two-team layout).
// While a video has no tracks kept, Live players (Measure menu) shows the
// players the engine follows as it plays on the picture and the pitch view.
class PlayerActions : public QObject
{
    Q_OBJECT

public:
    PlayerActions(VistrelInterface* engine, VideoControls* videoControls,
        FieldControls* fieldControls, VideoScreenAdapter* screens, QMainWindow* window);
    ~PlayerActions() override;

    QAction* trackAction() const { return track; }
    QAction* exportAction() const { return exportTracksAction; }
    QAction* liveAction() const;
    // Adds the Pitch view and Players docks to the window, hidden until
    // there are tracks, with their toggles in `windowMenu`.
    void addDocksTo(QMainWindow* window, QMenu* windowMenu);

    TrackStore* store() const { return tracks; }
    PitchView* pitchView() const { return pitch; }
    PlayersPanel* panel() const { return players; }
    TrackingJob* job() const { return tracking; }
    PlayerMarks* marks() const { return pictureMarks; }
    LivePlayers* live() const { return livePlayers; }

    // Starts tracking the open video; false (with a message) when it cannot.
    bool trackPlayers();
    // Writes the tracks CSV, or with `twoTeams` the two-team layout; a
    // failure is told in a box. False when nothing was written.
    bool exportTracks(const QString& path, bool twoTeams);

public slots:
    void videoOpened(const QString& path);

signals:
    // Something to read once, for the status bar.
    void notice(const QString& text);

private:
    void createActions();
    void trackingFinished(int result, const QString& csvPath);
    void loadTracks();
    void chooseExport();
    void calibrationChanged();
    void updateLiveAvailability();
    void showLive(bool on);
    QPolygonF cameraArea() const;
    void warn(const QString& text);

    VistrelInterface* engine = nullptr;
    VideoControls* videoControls = nullptr;
    FieldControls* fieldControls = nullptr;
    QMainWindow* window = nullptr;
    std::unique_ptr<PitchMeasurer> measurer;
    TrackStore* tracks = nullptr;
    TrackingJob* tracking = nullptr;
    PitchView* pitch = nullptr;
    PlayersPanel* players = nullptr;
    PlayerMarks* pictureMarks = nullptr;
    LivePlayers* livePlayers = nullptr;
    QProgressDialog* progress = nullptr;
    QAction* track = nullptr;
    QAction* exportTracksAction = nullptr;
    QDockWidget* pitchDock = nullptr;
    QDockWidget* playersDock = nullptr;
    QString trackedVideo; // the video the running job tracks
};
