// The main window's docks, actions and shortcuts, with the real engine.

#include "MainWindow.h"
#include "OpenGLProbe.h"
#include "ShellTestSupport.h"
#include "VideoControls.h"

#include <QAction>
#include <QDockWidget>
#include <QScreen>
#include <QTest>

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

private:
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
    QTRY_VERIFY(window->size() != before);
    const QSize picture = window->centralWidget()->size();
    QVERIFY(window->width() <= available.width() && window->height() <= available.height());
    if (video.width() < available.width() / 2 && video.height() < available.height() / 2) {
        QVERIFY2(picture.width() >= video.width() && picture.height() >= video.height(),
            qPrintable(
                QStringLiteral("picture area %1x%2").arg(picture.width()).arg(picture.height())));
    }
}

QTEST_MAIN(tst_MainWindow)
#include "tst_MainWindow.moc"
