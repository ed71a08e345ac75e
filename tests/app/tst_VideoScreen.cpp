// The plain screen against the real engine and video controls on generated
// clips: sizes, point mapping, the context menu and the frames it shows.

#include "DisplayTestSupport.h"
#include "calibration/FieldControls.h"
#include "playback/VideoControls.h"
#include "screens/VideoScreen.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

void sendMouse(QWidget* widget, QEvent::Type type, QPoint position, Qt::MouseButton button,
    Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {})
{
    QMouseEvent event(type, position, widget->mapToGlobal(position), button, buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

QPixmap shownPixmap(const VideoScreen& screen)
{
    for (QGraphicsItem* item : screen.graphicsScene()->items()) {
        if (auto* pixmapItem = dynamic_cast<QGraphicsPixmapItem*>(item))
            return pixmapItem->pixmap();
    }
    return QPixmap();
}

} // namespace

class TestVideoScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fitsTheVideoIntoItsRoom_data();
    void fitsTheVideoIntoItsRoom();
    void mouseInputBecomesVideoPoints_data();
    void mouseInputBecomesVideoPoints();
    void contextMenuSwitchesModes();
    void keepsOnlyTheNewestFrame_data();
    void keepsOnlyTheNewestFrame();
    void showsThePlayingFrameAtNativeSize();
    void fetchesOnlyNewPictures();

private:
    QTemporaryDir dir;
    QString clip640;
};

void TestVideoScreen::initTestCase()
{
    if (!displaytest::engine())
        QSKIP("the engine library has no working factory");
    clip640 = displaytest::writeClip(dir, displaytest::pitchSettings(640, 480), "clip640.mkv");
    QVERIFY(!clip640.isEmpty());
}

void TestVideoScreen::fitsTheVideoIntoItsRoom_data()
{
    QTest::addColumn<QSize>("screenSize");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QPoint>("click"); // in the view
    QTest::addColumn<QPoint>("point");

    QTest::newRow("room for all: native size")
        << QSize(655, 495) << 1.0 << QPoint(639, 479) << QPoint(639, 479);
    QTest::newRow("half the room: half size")
        << QSize(335, 255) << 0.5 << QPoint(319, 239) << QPoint(638, 478);
    QTest::newRow("half size, first pixel")
        << QSize(335, 255) << 0.5 << QPoint(1, 1) << QPoint(2, 2);
}

// The screen asks for the video's size but shows a larger video whole in
// the room it gets, and clicks map back to the pixel under them.
void TestVideoScreen::fitsTheVideoIntoItsRoom()
{
    QFETCH(QSize, screenSize);
    QFETCH(double, scale);
    QFETCH(QPoint, click);
    QFETCH(QPoint, point);

    VideoControls controls(displaytest::engine());
    VideoScreen screen(&controls);
    QVERIFY(!screen.parent());
    controls.loadFile(clip640);
    screen.changeImageSize();
    QCOMPARE(screen.sizeHint(), QSize(655, 495));
    screen.resize(screenSize);
    screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&screen));
    QCOMPARE(screen.size(), screenSize);
    QCOMPARE(screen.pictureScale(), scale);

    QSignalSpy points(&screen, &VideoScreen::givePoint);
    const QPoint at = screen.graphicsView()->pos() + click;
    sendMouse(&screen, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    // With Alt held the point is to be taken exactly as clicked.
    sendMouse(
        &screen, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, Qt::AltModifier);
    QCOMPARE(points.count(), 2);
    QCOMPARE(QPoint(points[0][0].toInt(), points[0][1].toInt()), point);
    QCOMPARE(points[0][2].toBool(), false);
    QCOMPARE(points[1][2].toBool(), true);
    QTest::keyClick(&screen, Qt::Key_Escape); // a panel, not a dialog to close
    QVERIFY(screen.isVisible());
}

void TestVideoScreen::mouseInputBecomesVideoPoints_data()
{
    QTest::addColumn<bool>("selectMode");
    QTest::addColumn<QList<QPoint>>("moves"); // after a press at the first point
    QTest::addColumn<Qt::MouseButtons>("held");
    QTest::addColumn<QList<QPoint>>("expected");

    const Qt::MouseButtons left = Qt::LeftButton;
    const Qt::MouseButtons both = Qt::LeftButton | Qt::RightButton;
    QTest::newRow("click") << false << QList<QPoint> { { 10, 20 } } << left
                           << QList<QPoint> { { 10, 20 } };
    QTest::newRow("last pixel") << false << QList<QPoint> { { 639, 479 } } << left
                                << QList<QPoint> { { 639, 479 } };
    QTest::newRow("left of the picture")
        << false << QList<QPoint> { { -2, 20 } } << left << QList<QPoint> {};
    QTest::newRow("below the picture")
        << false << QList<QPoint> { { 30, 480 } } << left << QList<QPoint> {};
    QTest::newRow("drag gives a point per move, held to the picture")
        << false << QList<QPoint> { { 10, 20 }, { 11, 21 }, { 12, 23 }, { 700, -5 } } << left
        << QList<QPoint> { { 10, 20 }, { 11, 21 }, { 12, 23 }, { 639, 0 } };
    QTest::newRow("drag with left and right") << false << QList<QPoint> { { 10, 20 }, { 11, 21 } }
                                              << both << QList<QPoint> { { 10, 20 } };
    QTest::newRow("select mode gives no points")
        << true << QList<QPoint> { { 10, 20 }, { 11, 21 } } << left << QList<QPoint> {};
}

void TestVideoScreen::mouseInputBecomesVideoPoints()
{
    QFETCH(bool, selectMode);
    QFETCH(QList<QPoint>, moves);
    QFETCH(Qt::MouseButtons, held);
    QFETCH(QList<QPoint>, expected);

    VideoControls controls(displaytest::engine());
    VideoScreen screen(&controls);
    controls.loadFile(clip640);
    screen.changeImageSize();
    screen.resize(screen.sizeHint());
    screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&screen));
    if (selectMode)
        screen.actions()[1]->trigger();
    QSignalSpy points(&screen, &VideoScreen::givePoint);
    const QPoint view = screen.graphicsView()->pos();

    sendMouse(&screen, QEvent::MouseButtonPress, view + moves[0], Qt::LeftButton, Qt::LeftButton);
    if (selectMode)
        QCOMPARE(screen.cursor().shape(), Qt::ClosedHandCursor);
    for (qsizetype i = 1; i < moves.size(); ++i)
        sendMouse(&screen, QEvent::MouseMove, view + moves[i], Qt::NoButton, held);
    sendMouse(&screen, QEvent::MouseButtonRelease, view + moves.last(), Qt::LeftButton, {});
    QCOMPARE(screen.cursor().shape(), selectMode ? Qt::OpenHandCursor : Qt::CrossCursor);

    QList<QPoint> received;
    for (const QList<QVariant>& args : points)
        received << QPoint(args[0].toInt(), args[1].toInt());
    QCOMPARE(received, expected);
}

void TestVideoScreen::contextMenuSwitchesModes()
{
    VideoControls controls(displaytest::engine());
    VideoScreen screen(&controls);
    screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&screen));
    QSignalSpy resets(&screen, &VideoScreen::resetPoints);

    QStringList shown;
    QTimer::singleShot(0, this, [&shown] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (const QAction* action : menu->actions())
            shown << action->text() + (action->isChecked() ? "*" : "");
        menu->close();
    });
    QContextMenuEvent rightClick(
        QContextMenuEvent::Mouse, QPoint(50, 50), screen.mapToGlobal(QPoint(50, 50)));
    QApplication::sendEvent(&screen, &rightClick);
    QCOMPARE(shown, QStringList({ "Mark*", "Select", "Clean" }));

    const QList<QAction*> actions = screen.actions();
    actions[1]->trigger();
    QCOMPARE(screen.interactionMode(), InteractionMode::SelectCorners);
    QVERIFY(!actions[0]->isChecked() && actions[1]->isChecked());
    QCOMPARE(screen.cursor().shape(), Qt::OpenHandCursor);
    actions[2]->trigger();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(screen.interactionMode(), InteractionMode::SelectCorners);
    actions[0]->trigger();
    QCOMPARE(screen.interactionMode(), InteractionMode::MarkPoints);
    QVERIFY(actions[0]->isChecked() && !actions[1]->isChecked());
    QCOMPARE(screen.cursor().shape(), Qt::CrossCursor);
    actions[2]->trigger();
    QCOMPARE(resets.count(), 2);
}

void TestVideoScreen::keepsOnlyTheNewestFrame_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");

    QTest::newRow("width a multiple of 4") << 640 << 480;
    QTest::newRow("odd width") << 642 << 362;
    QTest::newRow("narrow odd size") << 65 << 49;
}

void TestVideoScreen::keepsOnlyTheNewestFrame()
{
    QFETCH(int, width);
    QFETCH(int, height);

    const QString clip = displaytest::writeClip(
        dir, displaytest::pitchSettings(width, height, 3), QStringLiteral("size%1.mkv").arg(width));
    VideoControls controls(displaytest::engine());
    VideoScreen screen(&controls);
    screen.updateImage(); // nothing loaded: the engine reports no size
    QVERIFY(shownPixmap(screen).isNull());

    controls.loadFile(clip);
    screen.changeImageSize();
    for (int i = 0; i < 20; ++i)
        screen.updateImage();

    QCOMPARE(screen.graphicsScene()->items().size(), 1);
    QCOMPARE(shownPixmap(screen).size(), QSize(width, height));
}

void TestVideoScreen::showsThePlayingFrameAtNativeSize()
{
    // Long enough (6 s) that a loaded machine still catches it playing: at
    // the end the controls rewind to frame 0, which the check below skips.
    const testclips::ClipSettings clipSettings = displaytest::pitchSettings(642, 362, 150);
    const QString clip = displaytest::writeClip(dir, clipSettings, "playing.mkv");
    VideoControls controls(displaytest::engine());
    VideoScreen screen(&controls);
    connect(&controls, &VideoControls::giveNewImage, &screen, &VideoScreen::updateImage);
    controls.loadFile(clip);
    screen.changeImageSize();
    controls.playPauseVideo();

    // The frame shown is one of the clip's, pixel for pixel, and it changes.
    const QList<QImage> frames = displaytest::expectedFrames(clipSettings);
    QTRY_VERIFY_WITH_TIMEOUT(
        displaytest::matchingFrame(frames, shownPixmap(screen).toImage()) > 0, 20000);
    QCOMPARE(screen.graphicsScene()->items().size(), 1);
    controls.stopVideo();
}

void TestVideoScreen::fetchesOnlyNewPictures()
{
    const testclips::ClipSettings clipSettings = displaytest::pitchSettings(320, 240, 40);
    const QString clip = displaytest::writeClip(dir, clipSettings, "paused.mkv");
    VideoControls controls(displaytest::engine());
    VideoScreen screen(&controls);
    connect(&controls, &VideoControls::giveNewImage, &screen, &VideoScreen::updateImage);
    controls.loadFile(clip);
    screen.changeImageSize();
    controls.playPauseVideo();
    QTRY_VERIFY_WITH_TIMEOUT(controls.fetchedFrames() > 2, 20000);
    controls.playPauseVideo();
    QTest::qWait(300); // the pass under way ends

    // Paused and unchanged: the refresh keeps ticking but fetches nothing.
    const quint64 fetched = controls.fetchedFrames();
    QTest::qWait(300);
    QCOMPARE(controls.fetchedFrames(), fetched);

    // A step shows the next frame; an overlay change the paused loop draws.
    const QList<QImage> frames = displaytest::expectedFrames(clipSettings);
    const int shown = displaytest::matchingFrame(frames, shownPixmap(screen).toImage());
    QVERIFY(shown >= 0);
    controls.stepForward();
    QCOMPARE(displaytest::matchingFrame(frames, shownPixmap(screen).toImage()), shown + 1);
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    FieldControls field(displaytest::engine());
    for (const cv::Point& corner : truth.corners)
        field.selectPoint(corner.x, corner.y);
    QTRY_COMPARE(displaytest::matchingFrame(frames, shownPixmap(screen).toImage()), -1);
    field.resetPoints();
    controls.stopVideo();
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TestVideoScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_VideoScreen.moc"
