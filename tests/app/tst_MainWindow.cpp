// The main window's docks, actions and shortcuts, with the real engine.

#include "calibration/FieldControls.h"
#include "MainWindow.h"
#include "screens/OpenGLProbe.h"
#include "ShellTestSupport.h"
#include "playback/VideoControls.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <memory>

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsWithVideoControlsDockedAndFieldControlsHidden();
    void ctrlFTogglesFieldControls();
    void ctrlPTogglesVideoControls();
    void playActionFollowsPlayback();
    void openingAVideoGrowsTheWindowToShowIt_data();
    void openingAVideoGrowsTheWindowToShowIt();
    void escapeNeverHidesAPanel();
    void spaceTogglesPlayWhereverTheFocusIs();
    void keysStepFramesAndTheStatusFollows();
    void droppedFileOpens();
    void recentFilesKeepTheLastEight();
    void findPitchWithNothingFoundChangesNothing();
    void foundPitchCalibratesAndOneUndoTakesItBack();

private:
    QString writePitchClip(const testclips::ClipSettings& clipSettings, const QString& name);
    FieldControls* givenTwoCorners();
    QAction* action(const char* name) { return window->findChild<QAction*>(name); }
    QDockWidget* dock(const char* name) { return window->findChild<QDockWidget*>(name); }
    void press(Qt::Key key) { QTest::keyClick(window.get(), key, Qt::ControlModifier); }

    QTemporaryDir dir;
    QString clip;
    VistrelInterface* engine = nullptr;
    std::unique_ptr<MainWindow> window;
};

void tst_MainWindow::initTestCase()
{
    // Recent files go to a test location, not the user's settings.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY2(shelltest::loadEngine(), "libVistrel.so gives no engine");
    clip = shelltest::makeClip(dir, QStringLiteral("clip.mkv"), 250);
    QVERIFY(!clip.isEmpty());
}

void tst_MainWindow::init()
{
    engine = shelltest::loadEngine();
    window = std::make_unique<MainWindow>(false, engine);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
}

void tst_MainWindow::cleanup() { window.reset(); }

void tst_MainWindow::startsWithVideoControlsDockedAndFieldControlsHidden()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Tarvola"));
    QDockWidget* video = dock("videoControlsDockWidget");
    QDockWidget* field = dock("fieldControlsDockWidget");
    QVERIFY(video && field);

    QCOMPARE(video->windowTitle(), QStringLiteral("Video Controls"));
    QVERIFY(qobject_cast<VideoControls*>(video->widget()));
    QVERIFY(video->isVisible());
    QVERIFY(!video->isFloating());
    QCOMPARE(window->dockWidgetArea(video), Qt::BottomDockWidgetArea);
    QCOMPARE(video->allowedAreas(), Qt::BottomDockWidgetArea);
    QVERIFY(action("videoControlsAction")->isChecked());

    QCOMPARE(field->windowTitle(), QStringLiteral("Field Controls"));
    QVERIFY(field->isHidden());
    QVERIFY(field->isFloating());
    QCOMPARE(field->features(), QDockWidget::DockWidgetFloatable); // no close button
    QCOMPARE(field->allowedAreas(), Qt::RightDockWidgetArea);
    QVERIFY(!action("fieldControlsAction")->isChecked());
}

void tst_MainWindow::ctrlFTogglesFieldControls()
{
    QDockWidget* field = dock("fieldControlsDockWidget");
    press(Qt::Key_F);
    QVERIFY(field->isVisible());
    QVERIFY(field->isFloating());
    QVERIFY(action("fieldControlsAction")->isChecked());
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    press(Qt::Key_F);
    QVERIFY(field->isHidden());
    QVERIFY(!action("fieldControlsAction")->isChecked());
}

void tst_MainWindow::ctrlPTogglesVideoControls()
{
    QDockWidget* video = dock("videoControlsDockWidget");
    QAction* toggle = action("videoControlsAction");
    press(Qt::Key_P);
    QVERIFY(video->isHidden());
    QVERIFY(!toggle->isChecked());
    press(Qt::Key_P);
    QVERIFY(video->isVisible());
    QVERIFY(toggle->isChecked());

    // Closed from its own title bar, the action stays checked until the
    // next trigger, which shows the dock again.
    video->close();
    QVERIFY(toggle->isChecked());
    press(Qt::Key_P);
    QVERIFY(video->isVisible());
    QVERIFY(toggle->isChecked());
}

void tst_MainWindow::playActionFollowsPlayback()
{
    QAction* playAction = action("playAction");
    const qint64 playIcon = playAction->icon().cacheKey();
    press(Qt::Key_Y); // no video: nothing happens
    QCOMPARE(playAction->statusTip(), QStringLiteral("Play/Pause video playback"));
    QCOMPARE(playAction->icon().cacheKey(), playIcon);

    window->openVideo(clip);
    press(Qt::Key_Y);
    QCOMPARE(playAction->statusTip(), QStringLiteral("Pause video playback"));
    QTRY_VERIFY(engine->getPosition() > 0);
    press(Qt::Key_Y);
    QCOMPARE(playAction->statusTip(), QStringLiteral("Play video"));
    QVERIFY(engine->isPaused());
    press(Qt::Key_Y);
    QCOMPARE(playAction->statusTip(), QStringLiteral("Pause video playback"));
    QVERIFY(!engine->isPaused());
}

void tst_MainWindow::openingAVideoGrowsTheWindowToShowIt_data()
{
    QTest::addColumn<QSize>("video");
    QTest::newRow("fits on the display") << QSize(640, 360);
    QTest::newRow("larger than the display") << QSize(2400, 1800);
}

// The OpenGL screen scales the picture to whatever room it has, so the
// window itself makes room for a new video, as far as the display allows.
void tst_MainWindow::openingAVideoGrowsTheWindowToShowIt()
{
    if (!OpenGLProbe::available())
        QSKIP("no OpenGL on this display");
    QFETCH(QSize, video);
    const QString path
        = shelltest::makeClip(dir, QStringLiteral("grow.mkv"), 2, video.width(), video.height());
    QVERIFY(!path.isEmpty());
    window = std::make_unique<MainWindow>(true, engine);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QSize before = window->size();

    window->openVideo(path);
    const QSize available = window->screen()->availableGeometry().size();
    // A window that opened large enough already has the room.
    QTest::qWait(200);
    QVERIFY(window->width() >= before.width() && window->height() >= before.height());
    const QSize picture = window->centralWidget()->size();
    QVERIFY(window->width() <= available.width() && window->height() <= available.height());
    if (video.width() < available.width() / 2 && video.height() < available.height() / 2) {
        QVERIFY2(picture.width() >= video.width() && picture.height() >= video.height(),
            qPrintable(
                QStringLiteral("picture area %1x%2").arg(picture.width()).arg(picture.height())));
    }
}

void tst_MainWindow::escapeNeverHidesAPanel()
{
    press(Qt::Key_F); // the field controls too
    const QList<QWidget*> panels { dock("fieldControlsDockWidget")->widget(),
        dock("videoControlsDockWidget")->widget(), window->centralWidget() };
    for (QWidget* panel : panels) {
        QVERIFY(panel->isVisible());
        QTest::keyClick(panel, Qt::Key_Escape);
        QVERIFY2(panel->isVisible(), panel->metaObject()->className());
    }
}

// After a click on Stop, Space must not stop again but play.
void tst_MainWindow::spaceTogglesPlayWhereverTheFocusIs()
{
    window->openVideo(clip);
    auto* stop = window->findChild<QPushButton*>(QStringLiteral("stopButton"));
    QTest::mouseClick(stop, Qt::LeftButton);
    auto space = [] {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClick(focus, Qt::Key_Space);
    };
    space();
    auto* controls = window->findChild<VideoControls*>();
    QVERIFY(!controls->isVideoStopped());
    QTRY_VERIFY(!engine->isStopped());
    QVERIFY(!engine->isPaused());
    space();
    QVERIFY(engine->isPaused());
}

void tst_MainWindow::keysStepFramesAndTheStatusFollows()
{
    window->openVideo(clip);
    QCOMPARE(window->windowTitle(), QStringLiteral("clip.mkv - Tarvola"));
    QCOMPARE(window->recentFiles().value(0), QFileInfo(clip).absoluteFilePath());
    auto* controls = window->findChild<VideoControls*>();
    for (Qt::Key key : { Qt::Key_Right, Qt::Key_Period, Qt::Key_Period, Qt::Key_Comma })
        QTest::keyClick(window.get(), key);
    QCOMPARE(controls->currentFrameIndex(), 2LL);
    QCOMPARE(
        window->statusText(), QStringLiteral("Click the top left corner  |  Stopped at frame 2"));
    QTest::keyClick(window.get(), Qt::Key_Home);
    QCOMPARE(controls->currentFrameIndex(), 0LL);

    // Jumps of the default 100 ms at 25 fps (40 ms a frame), while stopped,
    // from the time of the frame shown to the frame that time falls in:
    // 0 + 100 ms is frame 2, 80 + 100 ms frame 4, 160 - 100 ms frame 1.
    QTest::keyClick(window.get(), Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(controls->currentFrameIndex(), 2LL);
    QTest::keyClick(window.get(), Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(controls->currentFrameIndex(), 4LL);
    QTest::keyClick(window.get(), Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(controls->currentFrameIndex(), 1LL);
}

void tst_MainWindow::droppedFileOpens()
{
    QMimeData data;
    data.setUrls({ QUrl::fromLocalFile(clip) });
    QWidget* target = window->centralWidget();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    QCOMPARE(window->findChild<VideoControls*>()->currentFile(), clip);
}

void tst_MainWindow::recentFilesKeepTheLastEight()
{
    QStringList older;
    for (int i = 0; i < MainWindow::kRecentFileCount; ++i)
        older << QStringLiteral("/videos/%1.mp4").arg(i);
    QSettings(QStringLiteral("Tarvola"), QStringLiteral("Tarvola"))
        .setValue(QStringLiteral("recentFiles"), older);
    window->openVideo(clip);
    window->openVideo(clip); // listed once
    QCOMPARE(
        window->recentFiles(), QStringList(QFileInfo(clip).absoluteFilePath()) + older.mid(0, 7));
}

namespace {

// A 105 x 68 m pitch with all of its boundary in the picture.
testclips::ClipSettings wholePitch()
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = 640;
    clipSettings.height = 360;
    clipSettings.frames = 3;
    clipSettings.players = 0;
    clipSettings.tilt = 0.4;
    return clipSettings;
}

const QPoint kTopLeft(10, 20);
const QPoint kTopRight(630, 25);

} // namespace

QString tst_MainWindow::writePitchClip(const testclips::ClipSettings& clipSettings, const QString& name)
{
    const QString path = dir.filePath(name);
    return testclips::writeClip(clipSettings, QFile::encodeName(path).toStdString(), nullptr, false)
        ? path
        : QString();
}

// Half a calibration, clicked by hand, that a search must keep or restore.
FieldControls* tst_MainWindow::givenTwoCorners()
{
    auto* field = window->findChild<FieldControls*>();
    field->selectPoint(kTopLeft.x(), kTopLeft.y(), true);
    field->selectPoint(kTopRight.x(), kTopRight.y(), true);
    return field;
}

void tst_MainWindow::findPitchWithNothingFoundChangesNothing()
{
    testclips::ClipSettings cutOff = wholePitch();
    cutOff.shiftXPx = cutOff.width / 2; // the right-hand corners leave the picture
    const QString path = writePitchClip(cutOff, QStringLiteral("cutoff.mkv"));
    QVERIFY(!path.isEmpty());
    window->openVideo(path);
    FieldControls* field = givenTwoCorners();
    press(Qt::Key_K);
    QCOMPARE(field->remainingCorners(), 2);
    QCOMPARE(field->corners()[1], kTopRight);
    QVERIFY2(window->statusBar()->currentMessage().startsWith(QStringLiteral("No pitch found")),
        qPrintable(window->statusBar()->currentMessage()));
}

void tst_MainWindow::foundPitchCalibratesAndOneUndoTakesItBack()
{
    const QString path = writePitchClip(wholePitch(), QStringLiteral("pitch.mkv"));
    QVERIFY(!path.isEmpty());
    window->openVideo(path);
    FieldControls* field = givenTwoCorners();
    // The default size is still typed: the markings' size is offered at once.
    QString offer;
    QTimer::singleShot(0, [&offer] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            offer = box->text();
            box->button(QMessageBox::No)->click();
        }
    });
    press(Qt::Key_K);
    if (!field->cornersComplete())
        QSKIP("this engine finds no corners");
    QVERIFY2(offer.startsWith(QStringLiteral("The markings suggest ")), qPrintable(offer));
    QCOMPARE(field->fieldLength(), 36.0f);
    const auto truth = testclips::truthFor(wholePitch()).corners;
    for (int i = 0; i < FieldControls::kCornerCount; ++i) {
        const QPoint offBy = field->corners()[i] - QPoint(truth[i].x, truth[i].y);
        QVERIFY2(std::max(std::abs(offBy.x()), std::abs(offBy.y())) <= 3,
            qPrintable(
                QStringLiteral("corner %1 off by %2, %3").arg(i).arg(offBy.x()).arg(offBy.y())));
    }
    QCOMPARE(field->snapMoves().size(), std::size_t(FieldControls::kCornerCount));

    press(Qt::Key_Z);
    QCOMPARE(field->remainingCorners(), 2);
    QCOMPARE(field->corners()[1], kTopRight);
    QVERIFY(field->snapMoves().empty());
}

QTEST_MAIN(tst_MainWindow)
#include "tst_MainWindow.moc"
