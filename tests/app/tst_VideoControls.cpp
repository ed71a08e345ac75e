// The playback panel against the real engine playing generated clips.

#include "ShellTestSupport.h"
#include "playback/FramePacer.h"
#include "playback/VideoControls.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QThread>

#include <memory>

namespace {

constexpr int kLongClipFrames = 250; // 10 s at 25 fps
constexpr int kShortClipFrames = 8;
constexpr int kFramePeriodMs = 40;
constexpr int kWaitMs = 5000;

} // namespace

class tst_VideoControls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void positionText_data();
    void positionText();
    void durationText_data();
    void durationText();
    void fileSizeText_data();
    void fileSizeText();
    void speedSliderSetsDelayFactor_data();
    void speedSliderSetsDelayFactor();
    void delayFactorSetAtConstruction();
    void refreshFollowsTheFrameRate_data();
    void refreshFollowsTheFrameRate();

    void commandsWithoutVideoChangeNothing();
    void playPauseStopFollowTheEngine();
    void jumpsWhilePaused_data();
    void jumpsWhilePaused();
    void jumpsWhileStopped_data();
    void jumpsWhileStopped();
    void progressSliderClickSeeks();
    void endOfVideoReturnsToStopped();
    void refusedFileKeepsTheOpenVideo_data();
    void refusedFileKeepsTheOpenVideo();
    void stepsMoveThePositionByOneFrame();
    void quickPlayAndStopNeverDisagree();
    void commandsAfterLoopEndedDoNotHang();
    void quittingDuringPlaybackJoinsTheLoop();

private:
    template <typename T> T* child(const char* name)
    {
        T* widget = controls->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no child %s", name);
        return widget;
    }
    QString labelText(const char* name) { return child<QLabel>(name)->text(); }
    void click(const char* button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    void openAndPlay(const QString& path);
    void pauseAndSettle();

    QTemporaryDir dir;
    QString longClip;
    QString shortClip;
    VistrelInterface* engine = nullptr;
    std::unique_ptr<VideoControls> controls;
};

void tst_VideoControls::initTestCase()
{
    QVERIFY2(shelltest::loadEngine(), "libVistrel.so gives no engine");
    QVERIFY(dir.isValid());
    longClip = shelltest::makeClip(dir, QStringLiteral("long.mkv"), kLongClipFrames);
    // A non-ASCII name: the path must reach the engine intact.
    shortClip = shelltest::makeClip(dir, QStringLiteral("kurz Ünïcødé ⚽.mkv"), kShortClipFrames);
    QVERIFY(!longClip.isEmpty());
    QVERIFY(!shortClip.isEmpty());
}

void tst_VideoControls::init()
{
    engine = shelltest::loadEngine();
    QVERIFY(engine);
    controls = std::make_unique<VideoControls>(engine);
    controls->show();
}

void tst_VideoControls::cleanup()
{
    controls.reset(); // stops and joins a loop that still runs
}

void tst_VideoControls::openAndPlay(const QString& path)
{
    controls->loadFile(path);
    click("playPauseButton");
    QTRY_VERIFY_WITH_TIMEOUT(engine->getPosition() > 0, kWaitMs);
}

void tst_VideoControls::pauseAndSettle()
{
    click("playPauseButton");
    QVERIFY(engine->isPaused());
    // A pass that was already reading when the pause came may still finish.
    QTest::qWait(4 * kFramePeriodMs);
}

void tst_VideoControls::positionText_data()
{
    QTest::addColumn<float>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0f << "00:00:00:00";
    QTest::newRow("hours minutes seconds") << 3723004.0f << "01:02:03:04";
    QTest::newRow("three-digit millis") << 65400.0f << "00:01:05:400";
    QTest::newRow("just under a minute") << 59999.0f << "00:00:59:999";
    QTest::newRow("over a hundred hours") << 360000000.0f << "100:00:00:00";
}

void tst_VideoControls::positionText()
{
    QFETCH(float, ms);
    QFETCH(QString, text);
    controls->updateTime(ms);
    QCOMPARE(labelText("timeLabel"), text);
}

void tst_VideoControls::durationText_data()
{
    QTest::addColumn<double>("frames");
    QTest::addColumn<double>("fps");
    QTest::addColumn<QString>("text");
    QTest::newRow("135000 at 25") << 135000.0 << 25.0 << "01:30:00";
    QTest::newRow("fraction truncated") << 100.0 << 30.0 << "00:00:03";
    QTest::newRow("no video") << 0.0 << 0.0 << "00:00:00";
    QTest::newRow("frames but no rate") << 250.0 << 0.0 << "00:00:00";
    QTest::newRow("negative count") << -1.0 << 25.0 << "00:00:00";
}

void tst_VideoControls::durationText()
{
    QFETCH(double, frames);
    QFETCH(double, fps);
    QFETCH(QString, text);
    controls->setDuration(frames, fps);
    QCOMPARE(labelText("durationLabel"), text);
}

void tst_VideoControls::fileSizeText_data()
{
    QTest::addColumn<float>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0.0f << "Size: 0 Bytes";
    QTest::newRow("1024") << 1024.0f << "Size: 1024 Bytes";
    QTest::newRow("1536") << 1536.0f << "Size: 1.5 KB";
    QTest::newRow("1048576") << 1048576.0f << "Size: 1024 KB";
    QTest::newRow("5 MB and a byte") << 5242881.0f << "Size: 5 MB";
    QTest::newRow("3221225472") << 3221225472.0f << "Size: 3 GB";
}

void tst_VideoControls::fileSizeText()
{
    QFETCH(float, bytes);
    QFETCH(QString, text);
    controls->setFileSize(bytes);
    QCOMPARE(labelText("sizeLabel"), text);
}

void tst_VideoControls::speedSliderSetsDelayFactor_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<double>("factor");
    QTest::addColumn<QString>("label");
    QTest::newRow("0 slowest") << 0 << 4.0 << "x0.25";
    QTest::newRow("25") << 25 << 2.0 << "x0.5";
    QTest::newRow("50 real time") << 50 << 1.0 << "x1";
    QTest::newRow("100 fastest") << 100 << 0.25 << "x4";
}

void tst_VideoControls::speedSliderSetsDelayFactor()
{
    QFETCH(int, value);
    QFETCH(double, factor);
    QFETCH(QString, label);
    auto* slider = child<QSlider>("speedSlider");
    slider->setValue(value == 50 ? 51 : 50);
    slider->setValue(value);
    QCOMPARE(double(engine->getDelayFactor()), factor);
    QCOMPARE(labelText("speedLabel"), label);
    controls->loadFile(shortClip); // paces to the file's own rate
    QCOMPARE(double(engine->getPlaybackRate()), 25.0);
}

void tst_VideoControls::delayFactorSetAtConstruction()
{
    VistrelInterface* fresh = shelltest::loadEngine();
    QVERIFY(fresh);
    VideoControls panel(fresh);
    QCOMPARE(panel.findChild<QSlider*>(QStringLiteral("speedSlider"))->value(), 50);
    QCOMPARE(double(fresh->getDelayFactor()), 1.0);
    QCOMPARE(fresh->getJumpStep(), 100);
}

void tst_VideoControls::commandsWithoutVideoChangeNothing()
{
    QSignalSpy plays(controls.get(), &VideoControls::play);
    QSignalSpy pauses(controls.get(), &VideoControls::pause);
    QTest::keyClick(controls.get(), Qt::Key_Space);
    for (const char* button :
        { "playPauseButton", "stopButton", "jumpBackButton", "jumpForwardButton" })
        click(button);
    auto* progress = child<QSlider>("progressSlider");
    QTest::mouseClick(progress, Qt::LeftButton, {}, QPoint(progress->width() * 3 / 4, 5));
    const int clicked = progress->value();
    QTest::qWait(100); // a few position-display ticks

    QVERIFY(clicked > 0);
    QCOMPARE(progress->value(), clicked);
    QCOMPARE(plays.count() + pauses.count(), 0);
    QVERIFY(controls->isVideoStopped());
    QVERIFY(engine->isStopped());
    QCOMPARE(labelText("timeLabel"), QStringLiteral("00:00:00:00"));
}

void tst_VideoControls::playPauseStopFollowTheEngine()
{
    QSignalSpy plays(controls.get(), &VideoControls::play);
    QSignalSpy pauses(controls.get(), &VideoControls::pause);
    openAndPlay(longClip);
    QCOMPARE(pauses.count(), 1);
    QVERIFY(!controls->isVideoStopped());
    QVERIFY(!engine->isStopped());

    pauseAndSettle();
    QCOMPARE(plays.count(), 1);
    const int pausedAt = engine->getPosition();
    QTest::qWait(4 * kFramePeriodMs);
    QCOMPARE(engine->getPosition(), pausedAt);

    QTest::keyClick(controls.get(), Qt::Key_Space); // resumes
    QCOMPARE(pauses.count(), 2);
    QVERIFY(!engine->isPaused());
    QTRY_VERIFY_WITH_TIMEOUT(engine->getPosition() > pausedAt, kWaitMs);

    click("stopButton");
    QCOMPARE(plays.count(), 2);
    QVERIFY(controls->isVideoStopped());
    QVERIFY(engine->isStopped());
    QVERIFY(!engine->isPaused());
    QCOMPARE(labelText("timeLabel"), QStringLiteral("00:00:00:00"));
}

void tst_VideoControls::jumpsWhilePaused_data()
{
    QTest::addColumn<QString>("backStep");
    QTest::addColumn<QString>("forwardStep");
    QTest::addColumn<int>("expectedMove");
    QTest::newRow("forward 400") << ""
                                 << "400" << 400;
    QTest::newRow("back 200 then forward 400") << "200"
                                               << "400" << 200;
    QTest::newRow("back past the start") << "5000"
                                         << "" << -1;
}

// expectedMove -1: the jump back ends at the start of the video.
void tst_VideoControls::jumpsWhilePaused()
{
    QFETCH(QString, backStep);
    QFETCH(QString, forwardStep);
    QFETCH(int, expectedMove);
    openAndPlay(longClip);
    QTRY_VERIFY_WITH_TIMEOUT(engine->getPosition() >= 10 * kFramePeriodMs, kWaitMs);
    pauseAndSettle();
    const int start = engine->getPosition();

    auto* edit = child<QLineEdit>("jumpEdit");
    if (!backStep.isEmpty()) {
        edit->setText(backStep);
        click("jumpBackButton");
    }
    if (!forwardStep.isEmpty()) {
        edit->setText(forwardStep);
        click("jumpForwardButton");
    }
    const int expected = expectedMove < 0 ? 0 : start + expectedMove;
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(engine->getPosition() - expected) <= kFramePeriodMs, kWaitMs);
    QVERIFY(engine->isPaused());
    QVERIFY(!engine->isStopped());
    QVERIFY(!controls->isVideoStopped());
}

void tst_VideoControls::refreshFollowsTheFrameRate_data()
{
    QTest::addColumn<double>("fps");
    QTest::addColumn<double>("speed");
    QTest::addColumn<double>("displayHz");
    QTest::addColumn<int>("intervalMs");
    // A quarter more often than pictures come, up to the display's rate.
    QTest::newRow("60 fps at x1") << 60.0 << 1.0 << 60.0 << 13;
    QTest::newRow("25 fps at x1") << 25.0 << 1.0 << 60.0 << 32;
    QTest::newRow("25 fps at x0.25") << 25.0 << 0.25 << 60.0 << 128;
    QTest::newRow("60 fps at x2: the display's rate") << 60.0 << 2.0 << 60.0 << 16;
    QTest::newRow("60 fps at x4 on 144 Hz") << 60.0 << 4.0 << 144.0 << 6;
    QTest::newRow("no rate known") << 0.0 << 1.0 << 0.0 << 32;
}

void tst_VideoControls::refreshFollowsTheFrameRate()
{
    QFETCH(double, fps);
    QFETCH(double, speed);
    QFETCH(double, displayHz);
    QFETCH(int, intervalMs);
    QCOMPARE(FramePacer::refreshIntervalMs(fps, speed, displayHz), intervalMs);
}

void tst_VideoControls::jumpsWhileStopped_data()
{
    QTest::addColumn<long long>("from");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("step");
    QTest::addColumn<long long>("to");
    QTest::newRow("forward 400") << 0LL << "jumpForwardButton"
                                 << "400" << 10LL;
    QTest::newRow("back 200") << 20LL << "jumpBackButton"
                              << "200" << 15LL;
    QTest::newRow("back 1 ms, into the frame before") << 20LL << "jumpBackButton"
                                                      << "1" << 19LL;
    QTest::newRow("back past the start") << 3LL << "jumpBackButton"
                                         << "5000" << 0LL;
    QTest::newRow("forward past the end") << (kLongClipFrames - 10LL) << "jumpForwardButton"
                                          << "5000" << (kLongClipFrames - 1LL);
    QTest::newRow("no number") << 7LL << "jumpForwardButton"
                               << "" << 7LL;
}

// With no playback running a jump is a seek by its length from the frame
// shown; the panel stays stopped and the position display follows.
void tst_VideoControls::jumpsWhileStopped()
{
    QFETCH(long long, from);
    QFETCH(QString, button);
    QFETCH(QString, step);
    QFETCH(long long, to);
    QVERIFY(controls->loadFile(longClip));
    QVERIFY(controls->showFrame(from));
    child<QLineEdit>("jumpEdit")->setText(step);
    click(button.toLatin1().constData());
    QCOMPARE(controls->currentFrameIndex(), to);
    QCOMPARE(labelText("timeLabel"),
        QStringLiteral("00:00:%1:%2")
            .arg(to * kFramePeriodMs / 1000, 2, 10, QLatin1Char('0'))
            .arg(to * kFramePeriodMs % 1000, 2, 10, QLatin1Char('0')));
    QVERIFY(controls->isVideoStopped());
    QVERIFY(engine->isStopped());
}

void tst_VideoControls::progressSliderClickSeeks()
{
    openAndPlay(longClip);
    pauseAndSettle();
    auto* progress = child<QSlider>("progressSlider");
    progress->setFixedWidth(400);
    QTRY_COMPARE(progress->width(), 400);
    QTest::mouseClick(progress, Qt::LeftButton, {}, QPoint(300, 5));
    QCOMPARE(progress->value(), 75);
    const int expected = kLongClipFrames * kFramePeriodMs * 3 / 4;
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(engine->getPosition() - expected) <= kFramePeriodMs, kWaitMs);
    QCOMPARE(engine->getJumpStep(), 100); // the seek restores the jump step
    QTRY_COMPARE(labelText("timeLabel").left(8), QStringLiteral("00:00:07"));
    QVERIFY(!engine->isStopped());
}

void tst_VideoControls::endOfVideoReturnsToStopped()
{
    QSignalSpy plays(controls.get(), &VideoControls::play);
    QSignalSpy opened(controls.get(), &VideoControls::giveNewVideoResolution);
    controls->loadFile(shortClip); // its non-ASCII name must reach the engine intact
    QCOMPARE(opened.count(), 1);
    QCOMPARE(controls->frameWidth(), 160);
    QCOMPARE(labelText("resolutionLabel"), QStringLiteral("Resolution: 160 x 120"));
    click("playPauseButton");
    QTRY_VERIFY_WITH_TIMEOUT(controls->isVideoStopped(), kWaitMs);
    QCOMPARE(plays.count(), 1);
    QVERIFY(engine->isStopped());
    QCOMPARE(labelText("timeLabel"), QStringLiteral("00:00:00:00"));

    click("playPauseButton"); // plays again from the start
    QVERIFY(!controls->isVideoStopped());
    QTRY_VERIFY_WITH_TIMEOUT(controls->isVideoStopped(), kWaitMs);
}

// A file that cannot be opened is refused with its reason, and the video
// that was open stays open on the frame it showed.
void tst_VideoControls::refusedFileKeepsTheOpenVideo_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no such file
    QTest::addColumn<QString>("reason");
    QTest::newRow("not a video") << QByteArray("no frames here") << "no video";
    QTest::newRow("missing") << QByteArray() << "does not exist";
}

void tst_VideoControls::refusedFileKeepsTheOpenVideo()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString bogus
        = dir.filePath(QStringLiteral("refused %1.mkv").arg(QTest::currentDataTag()));
    if (!content.isEmpty()) {
        QFile file(bogus);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QVERIFY(controls->loadFile(longClip));
    controls->stepForward();
    controls->stepForward();
    QSignalSpy failures(controls.get(), &VideoControls::openFailed);

    QVERIFY(!controls->loadFile(bogus));

    QCOMPARE(failures.count(), 1);
    QCOMPARE(failures[0][0].toString(), bogus);
    QVERIFY2(failures[0][1].toString().contains(reason), qPrintable(failures[0][1].toString()));
    QCOMPARE(controls->currentFile(), longClip);
    QCOMPARE(controls->currentFrameIndex(), 2LL);
    QVERIFY(controls->showsPicture());
    QCOMPARE(labelText("resolutionLabel"), QStringLiteral("Resolution: 160 x 120"));
    click("playPauseButton");
    QTRY_VERIFY_WITH_TIMEOUT(engine->getPosition() > 2 * kFramePeriodMs, kWaitMs);
}

// Open shows frame 0; steps move by exactly one frame while stopped or
// paused, never while playing; Home and Stop go back to the first frame.
void tst_VideoControls::stepsMoveThePositionByOneFrame()
{
    QVERIFY(controls->loadFile(longClip));
    QVERIFY(controls->showsPicture());
    QCOMPARE(controls->currentFrameIndex(), 0LL);
    for (int i = 0; i < 3; ++i)
        controls->stepForward();
    controls->stepBack();
    QCOMPARE(controls->currentFrameIndex(), 2LL);
    QCOMPARE(labelText("timeLabel"), QStringLiteral("00:00:00:80"));
    controls->showFirstFrame();
    QCOMPARE(controls->currentFrameIndex(), 0LL);
    controls->stepBack(); // stays at the start
    QCOMPARE(controls->currentFrameIndex(), 0LL);

    openAndPlay(longClip);
    pauseAndSettle();
    const long long paused = controls->currentFrameIndex();
    controls->stepForward();
    QCOMPARE(controls->currentFrameIndex(), paused + 1);
    QCOMPARE(child<QSlider>("progressSlider")->value(), int((paused + 1) * 100 / kLongClipFrames));
    click("playPauseButton"); // plays on
    const long long before = controls->currentFrameIndex();
    controls->showFirstFrame(); // ignored while playing
    QVERIFY(controls->currentFrameIndex() >= before);

    click("stopButton");
    QCOMPARE(controls->currentFrameIndex(), 0LL);
    QVERIFY(controls->showsPicture());
}

// Start and stop, and double presses, as fast as the event loop allows: the
// panel and the loop must agree once the events are delivered.
void tst_VideoControls::quickPlayAndStopNeverDisagree()
{
    controls->loadFile(longClip);
    for (int round = 0; round < 20; ++round) {
        click("playPauseButton");
        click("stopButton");
        QVERIFY(controls->isVideoStopped());
        QTest::qWait(2 * kFramePeriodMs); // a loop that slipped through would move on
        QVERIFY(controls->isVideoStopped());
        QVERIFY(engine->isStopped());
        QCOMPARE(engine->getPosition(), 0);
    }
    for (int round = 0; round < 10; ++round) {
        click("playPauseButton");
        click("playPauseButton"); // pauses at once
        QTest::qWait(4 * kFramePeriodMs);
        // A loop that starts paused may end before it has a frame; either
        // way the panel reports what the engine does.
        if (controls->isVideoStopped()) {
            QVERIFY(engine->isStopped());
        } else {
            QVERIFY(engine->isPaused());
            QVERIFY(!engine->isPlayFinished());
        }
        click("stopButton");
        QVERIFY(engine->isStopped());
    }
}

// After the loop has ended by itself and before its finish is delivered, the
// engine still reports a running loop; jumps and seeks must not wait forever.
void tst_VideoControls::commandsAfterLoopEndedDoNotHang()
{
    controls->loadFile(shortClip);
    click("playPauseButton");
    QDeadlineTimer deadline(kWaitMs);
    while (!engine->isPlayFinished() && !deadline.hasExpired())
        QThread::msleep(1); // no events: the finish stays queued
    QVERIFY(engine->isPlayFinished());
    QVERIFY(QMetaObject::invokeMethod(controls.get(), "jumpForward"));
    QVERIFY(QMetaObject::invokeMethod(controls.get(), "jumpBack"));
    QVERIFY(QMetaObject::invokeMethod(controls.get(), "slotSliderReleased"));
    QVERIFY(!engine->isJumpForwardPending());
    QVERIFY(!engine->isJumpBackPending());
    QTRY_VERIFY_WITH_TIMEOUT(controls->isVideoStopped(), kWaitMs);
}

void tst_VideoControls::quittingDuringPlaybackJoinsTheLoop()
{
    openAndPlay(longClip);
    controls.reset();
    QVERIFY(engine->isStopped());
    QVERIFY(engine->isPlayFinished());
}

QTEST_MAIN(tst_VideoControls)
#include "tst_VideoControls.moc"
