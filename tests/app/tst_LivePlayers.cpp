// Live players in the main window with the real engine on a generated
// match: the toggle offered only for a calibrated video without kept
// tracks, the marks on the picture and the pitch view following the players
// while the video plays, and everything back to the kept tracks when it is
// turned off or another video opens.

#include "calibration/CalibrationFile.h"
#include "ClipCalibration.h"
#include "ClipGenerator.h"
#include "MainWindow.h"
#include "PlayerSimulation.h"
#include "PlayerSprite.h"
#include "ShellTestSupport.h"
#include "playback/VideoControls.h"
#include "players/LivePlayers.h"
#include "players/PitchView.h"
#include "players/PlayerActions.h"
#include "players/PlayerMarks.h"
#include "players/TrackStore.h"
#include "players/TracksFile.h"

#include <QAction>
#include <QDockWidget>
#include <QMenuBar>
#include <QStandardPaths>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

constexpr int kFrames = 100;
// Frames the live view is given to settle before its marks are judged.
constexpr int kSettledFrame = 50;

testclips::ClipSettings matchPlan() { return smallMatchPlan(kFrames); }

QString writeMatch(const QTemporaryDir& dir, const QString& name, bool calibrated)
{
    return writeCalibratedClip(matchPlan(), dir, name, calibrated);
}

// The share of marks within a few pixels of a true player's feet.
double shareOnFeet(const std::vector<PlayerMarks::Mark>& marks, qint64 frame)
{
    const testclips::ClipTruth truth = testclips::truthFor(matchPlan());
    const testclips::PlayerSimulation simulation = testclips::simulationFor(matchPlan());
    int onFeet = 0;
    for (const PlayerMarks::Mark& mark : marks) {
        double nearest = 1e9;
        for (const testclips::SimPerson& person : simulation.people()) {
            const cv::Point2d at = simulation.position(person, double(frame) / matchPlan().fps);
            const cv::Point2d foot = truth.toPicture(at.x, at.y);
            nearest = std::min(nearest, std::hypot(foot.x - mark.foot.x(), foot.y - mark.foot.y()));
        }
        onFeet += nearest < 6.0;
    }
    return marks.empty() ? 0.0 : double(onFeet) / double(marks.size());
}

} // namespace

class tst_LivePlayers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void offeredOnlyForACalibratedVideoWithoutKeptTracks();
    void marksAndPitchViewFollowThePlayersWhilePlaying();

private:
    QAction* toggle() { return window->findChild<QAction*>("livePlayersAction"); }

    QTemporaryDir dir;
    QString match;
    QString uncalibrated;
    QString tracked;
    std::unique_ptr<MainWindow> window;
    PlayerActions* players = nullptr;
};

void tst_LivePlayers::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(shelltest::loadEngine(), "libVistrel.so gives no engine");
    match = writeMatch(dir, QStringLiteral("match.mkv"), true);
    uncalibrated = writeMatch(dir, QStringLiteral("other.mkv"), false);
    tracked = writeMatch(dir, QStringLiteral("tracked.mkv"), true);
    QVERIFY(!match.isEmpty() && !uncalibrated.isEmpty() && !tracked.isEmpty());
    // Kept tracks for one of them: a single short track does.
    TrackSet kept;
    kept.tracks.push_back({ 1, QStringLiteral("A"), {}, { { 0, QPointF(10, 10), 0.0 } } });
    QString error;
    QVERIFY2(TracksFile::save(kept, TracksFile(tracked).besideVideo(), &error), qPrintable(error));
}

void tst_LivePlayers::init()
{
    window = std::make_unique<MainWindow>(false, shelltest::loadEngine());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    players = window->findChild<PlayerActions*>();
    QVERIFY(players && toggle());
}

void tst_LivePlayers::cleanup() { window.reset(); }

void tst_LivePlayers::offeredOnlyForACalibratedVideoWithoutKeptTracks()
{
    QVERIFY(!toggle()->isEnabled());
    QCOMPARE(toggle()->text(), QStringLiteral("Live players"));
    const QString measureMenu = QStringLiteral("&Measure");
    bool inMeasureMenu = false;
    for (QAction* menu : window->menuBar()->actions())
        if (menu->text() == measureMenu && menu->menu())
            inMeasureMenu = menu->menu()->actions().contains(toggle());
    QVERIFY(inMeasureMenu);

    const struct
    {
        QString video;
        bool offered;
    } cases[] = { { uncalibrated, false }, { tracked, false }, { match, true } };
    for (const auto& c : cases) {
        window->openVideo(c.video);
        QCOMPARE(toggle()->isEnabled(), c.offered);
    }
    // On, then another video: off, and the views back on the kept tracks.
    toggle()->trigger();
    QVERIFY(players->live()->isOn());
    window->openVideo(tracked);
    QVERIFY(!players->live()->isOn());
    QVERIFY(!toggle()->isChecked());
    QVERIFY(players->store()->hasTracks());
    window->openVideo(match);
    QVERIFY(players->marks()->marks().empty());
}

void tst_LivePlayers::marksAndPitchViewFollowThePlayersWhilePlaying()
{
    window->openVideo(match);
    toggle()->trigger();
    QVERIFY(players->live()->isOn());
    QVERIFY(window->findChild<QDockWidget*>(QStringLiteral("pitchViewDockWidget"))->isVisible());
    auto* controls = window->findChild<VideoControls*>();
    controls->playPauseVideo();
    TrackStore* live = players->live()->store();
    QTRY_VERIFY_WITH_TIMEOUT(live->frame() >= kSettledFrame, 60000);
    controls->playPauseVideo();
    QTRY_VERIFY(!controls->isPlaying());
    // What the engine tracked last, after the pause settles.
    QTest::qWait(3 * LivePlayers::kPollMs);
    const qint64 frame = live->frame();
    const std::vector<PlayerMarks::Mark>& marks = players->marks()->marks();
    QVERIFY2(marks.size() >= 18, qPrintable(QString::number(marks.size())));
    QVERIFY2(shareOnFeet(marks, frame) >= 0.85, qPrintable(QString::number(shareOnFeet(marks, frame))));
    // Trails of the last moments, and the same players on the pitch view,
    // where a click selects one on both views.
    QVERIFY(std::any_of(marks.begin(), marks.end(), [](const auto& m) { return m.trail.size() > 2; }));
    PitchView* view = players->pitchView();
    const PlayerTrack& chosen = live->tracks().tracks.at(2);
    QCOMPARE(view->playerAt(view->toWidget(chosen.samples.back().pitch)), chosen.id);
    QTest::mouseClick(view, Qt::LeftButton, {}, view->toWidget(chosen.samples.back().pitch).toPoint());
    QCOMPARE(live->selectedId(), chosen.id);
    QTRY_VERIFY(std::any_of(players->marks()->marks().begin(), players->marks()->marks().end(),
        [&](const auto& m) { return m.selected && m.id == chosen.id; }));

    toggle()->trigger();
    QVERIFY(!players->live()->isOn());
    QVERIFY(players->marks()->marks().empty());
    QVERIFY(!live->hasTracks());
}

QTEST_MAIN(tst_LivePlayers)
#include "tst_LivePlayers.moc"
