// Track players in the main window with the real engine on a generated
// match: the run in the background and its file beside the video, cancel
// and failure, the tracks read back on opening, the pitch view, the players
// table and the marks on the picture following the frame shown, and the
// exports.

#include "calibration/CalibrationFile.h"
#include "ClipCalibration.h"
#include "ClipGenerator.h"
#include "MainWindow.h"
#include "PlayerSimulation.h"
#include "PlayerSprite.h"
#include "ShellTestSupport.h"
#include "playback/VideoControls.h"
#include "players/PitchView.h"
#include "players/PlayerActions.h"
#include "players/PlayerMarks.h"
#include "players/PlayersModel.h"
#include "players/PlayersPanel.h"
#include "players/TrackStore.h"
#include "players/TrackingJob.h"
#include "players/TracksFile.h"
#include "players/TwoTeamExport.h"

#include <QAction>
#include <QDockWidget>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

constexpr int kFrames = 40;
constexpr int kTrackTimeoutMs = 240000;

testclips::ClipSettings matchPlan() { return smallMatchPlan(kFrames); }

QString writeMatch(const QTemporaryDir& dir, const QString& name, bool calibrated)
{
    return writeCalibratedClip(matchPlan(), dir, name, calibrated);
}

} // namespace

class tst_PlayerActions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void tracksInTheBackgroundAndReadsThemBackOnOpening();
    void viewsFollowTheFrameShownAndShareTheSelection();
    void namesAreSavedWithTheTracks();
    void exportsBothLayouts();
    void correctionsFromThePanelAreUndone();
    void cancelLeavesNoFile();
    void uncalibratedVideoIsRefusedWithAMessage();

private:
    void trackAndWait();
    QAction* action(const char* name) { return window->findChild<QAction*>(name); }
    QDockWidget* dock(const char* name) { return window->findChild<QDockWidget*>(name); }

    QTemporaryDir dir;
    QString match;
    QString uncalibrated;
    std::unique_ptr<MainWindow> window;
    PlayerActions* players = nullptr;
};

void tst_PlayerActions::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(shelltest::loadEngine(), "libVistrel.so gives no engine");
    match = writeMatch(dir, QStringLiteral("match.mkv"), true);
    uncalibrated = writeMatch(dir, QStringLiteral("other.mkv"), false);
    QVERIFY(!match.isEmpty() && !uncalibrated.isEmpty());
}

void tst_PlayerActions::init()
{
    window = std::make_unique<MainWindow>(false, shelltest::loadEngine());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    players = window->findChild<PlayerActions*>();
    QVERIFY(players);
}

void tst_PlayerActions::cleanup()
{
    window.reset();
    QFile::remove(TracksFile(match).besideVideo());
    QFile::remove(TracksFile::sidecarOf(TracksFile(match).besideVideo()));
}

void tst_PlayerActions::trackAndWait()
{
    window->openVideo(match);
    QVERIFY(action("trackPlayersAction")->isEnabled());
    action("trackPlayersAction")->trigger();
    QVERIFY(players->job()->isRunning());
    QVERIFY(!action("trackPlayersAction")->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!players->job()->isRunning(), kTrackTimeoutMs);
    QTRY_VERIFY(players->store()->hasTracks());
}

void tst_PlayerActions::tracksInTheBackgroundAndReadsThemBackOnOpening()
{
    QVERIFY(dock("pitchViewDockWidget")->isHidden());
    trackAndWait();
    const QString kept = TracksFile(match).besideVideo();
    QCOMPARE(players->store()->path(), kept);
    QVERIFY(QFile::exists(TracksFile::sidecarOf(kept)));
    QVERIFY(players->store()->tracks().tracks.size() >= 20);
    QCOMPARE(players->store()->tracks().frames, qint64(kFrames));
    QVERIFY(dock("pitchViewDockWidget")->isVisible());
    QVERIFY(dock("playersDockWidget")->isVisible());
    QCOMPARE(dock("pitchViewDockWidget")->windowTitle(), QStringLiteral("Pitch view"));
    QVERIFY(window->findChild<QProgressDialog*>() == nullptr
        || window->findChild<QProgressDialog*>()->isHidden());

    // The program writes back exactly what the engine wrote.
    QFile engineCsv(kept);
    QVERIFY(engineCsv.open(QIODevice::ReadOnly));
    QCOMPARE(players->store()->tracks().toCsv(), engineCsv.readAll());

    window->openVideo(uncalibrated);
    QVERIFY(!players->store()->hasTracks());
    window->openVideo(match);
    QCOMPARE(players->store()->tracks().tracks.size(), std::size_t(players->panel()->model()->rowCount()));
    QVERIFY(players->store()->hasTracks());
}

void tst_PlayerActions::viewsFollowTheFrameShownAndShareTheSelection()
{
    trackAndWait();
    auto* controls = window->findChild<VideoControls*>();
    QVERIFY(controls->showFrame(30));
    QTRY_COMPARE(players->store()->frame(), qint64(30));

    // Each mark sits on a player's feet in the picture.
    const testclips::ClipTruth truth = testclips::truthFor(matchPlan());
    const testclips::PlayerSimulation simulation = testclips::simulationFor(matchPlan());
    const std::vector<PlayerMarks::Mark>& marks = players->marks()->marks();
    QVERIFY(marks.size() >= 20);
    int onFeet = 0;
    for (const PlayerMarks::Mark& mark : marks) {
        double nearest = 1e9;
        for (const testclips::SimPerson& person : simulation.people()) {
            const cv::Point2d at = simulation.position(person, 30 / matchPlan().fps);
            const cv::Point2d foot = truth.toPicture(at.x, at.y);
            nearest = std::min(nearest, std::hypot(foot.x - mark.foot.x(), foot.y - mark.foot.y()));
        }
        onFeet += nearest < 6.0;
    }
    QVERIFY2(onFeet >= int(marks.size()) * 9 / 10, qPrintable(QString::number(onFeet)));

    // A click on a dot of the pitch view selects that player in the table
    // and on the picture; a click beside every dot clears it.
    PitchView* view = players->pitchView();
    const PlayerTrack& chosen = players->store()->tracks().tracks.at(3);
    const TrackSample* sample = chosen.at(30);
    QVERIFY(sample);
    QCOMPARE(view->playerAt(view->toWidget(sample->pitch)), chosen.id);
    QTest::mouseClick(view, Qt::LeftButton, {}, view->toWidget(sample->pitch).toPoint());
    QCOMPARE(players->store()->selectedId(), chosen.id);
    QTableView* table = players->panel()->table();
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().data(Qt::UserRole).toInt(), chosen.id);
    QCOMPARE(std::count_if(players->marks()->marks().begin(), players->marks()->marks().end(),
                 [&](const auto& m) { return m.selected && m.id == chosen.id; }),
        1);
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(1, 1));
    QCOMPARE(players->store()->selectedId(), 0);

    // Sorting by distance puts the longest run first.
    table->sortByColumn(PlayersModel::Distance, Qt::DescendingOrder);
    const double first = table->model()->index(0, PlayersModel::Distance).data(Qt::UserRole).toDouble();
    const double last = table->model()
                            ->index(table->model()->rowCount() - 1, PlayersModel::Distance)
                            .data(Qt::UserRole)
                            .toDouble();
    QVERIFY(first >= last);
    QVERIFY(players->panel()->csv().startsWith(
        QStringLiteral("Id,Team,Name,Distance (m),Top speed (m/s),Above 5.5 m/s (s),Above 7 m/s (s)\n")));
}

void tst_PlayerActions::namesAreSavedWithTheTracks()
{
    trackAndWait();
    PlayersModel* model = players->panel()->model();
    const int id = model->idAt(0);
    QVERIFY(model->setData(model->index(0, PlayersModel::Name), QStringLiteral("Keeper, left")));
    window->openVideo(uncalibrated);
    window->openVideo(match);
    const int row = model->rowOf(id);
    QCOMPARE(model->index(row, PlayersModel::Name).data().toString(), QStringLiteral("Keeper, left"));
}

void tst_PlayerActions::exportsBothLayouts()
{
    trackAndWait();
    const QString out = dir.filePath(QStringLiteral("export.csv"));
    QVERIFY(players->exportTracks(out, false));
    QFile exported(out);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(exported.readAll(), players->store()->tracks().toCsv());
    QVERIFY(QFile::exists(out + QStringLiteral(".json")));

    QVERIFY(players->exportTracks(out, true));
    for (const QString& path : TwoTeamExport::filesFor(out))
        QVERIFY2(QFile::exists(path), qPrintable(path));

    // A failure is told, nothing is written.
    const QString nowhere = dir.filePath(QStringLiteral("no/such/folder.csv"));
    QVERIFY(!players->exportTracks(nowhere, false));
    QTRY_VERIFY(window->findChild<QMessageBox*>(QStringLiteral("playersMessage")));
    QVERIFY(!QFile::exists(nowhere));
}

void tst_PlayerActions::correctionsFromThePanelAreUndone()
{
    trackAndWait();
    PlayersPanel* panel = players->panel();
    QTableView* table = panel->table();
    const int rows = table->model()->rowCount();
    auto* merge = panel->findChild<QAction*>(QStringLiteral("mergeTracksAction"));
    auto* remove = panel->findChild<QAction*>(QStringLiteral("deleteTrackAction"));
    table->selectRow(0);
    QVERIFY(!merge->isEnabled());
    QVERIFY(remove->isEnabled());
    table->selectionModel()->select(table->model()->index(1, 0),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QVERIFY(merge->isEnabled());
    merge->trigger();
    QCOMPARE(table->model()->rowCount(), rows - 1);
    table->selectRow(0);
    remove->trigger();
    QCOMPARE(table->model()->rowCount(), rows - 2);
    QFile kept(players->store()->path());
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), players->store()->tracks().toCsv());

    auto* undo = panel->findChild<QAction*>(QStringLiteral("undoCorrectionAction"));
    undo->trigger();
    undo->trigger();
    QCOMPARE(table->model()->rowCount(), rows);
    QVERIFY(!undo->isEnabled());
}

void tst_PlayerActions::cancelLeavesNoFile()
{
    window->openVideo(match);
    const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    action("trackPlayersAction")->trigger();
    auto* progress = window->findChild<QProgressDialog*>(QStringLiteral("trackingProgress"));
    QVERIFY(progress && progress->isVisible());
    QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!players->job()->isRunning(), kTrackTimeoutMs);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
    QVERIFY(!players->store()->hasTracks());
    QVERIFY(action("trackPlayersAction")->isEnabled());
}

void tst_PlayerActions::uncalibratedVideoIsRefusedWithAMessage()
{
    window->openVideo(uncalibrated);
    QVERIFY(!players->trackPlayers());
    QVERIFY(!players->job()->isRunning());
    auto* box = window->findChild<QMessageBox*>(QStringLiteral("playersMessage"));
    QVERIFY(box);
    QVERIFY(box->text().contains(QStringLiteral("corners")));
    QVERIFY(!QFile::exists(TracksFile(uncalibrated).besideVideo()));
}

QTEST_MAIN(tst_PlayerActions)
#include "tst_PlayerActions.moc"
