// The placed landmarks on the picture of both screens, with the real engine,
// screens and field controls on a generated clip: their markers are drawn,
// a drag moves a landmark (snapped as when clicked, one undo step, the fit
// renewed), a click on a marker only picks it, and with the mode off the
// mouse is the corners' again.

#include "DisplayTestSupport.h"
#include "calibration/FieldControls.h"
#include "calibration/LandmarkMarks.h"
#include "calibration/LandmarkPanel.h"
#include "playback/VideoControls.h"
#include "screens/OpenGLProbe.h"
#include "screens/VideoScreen.h"
#include "screens/VideoScreenAdapter.h"
#include "screens/VideoScreenGL.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include <memory>

namespace {

testclips::ClipSettings clipPlan()
{
    testclips::ClipSettings plan = displaytest::pitchSettings(640, 480, 2);
    plan.players = 0;
    return plan;
}

void sendMouse(QWidget* widget, QEvent::Type type, QPointF position, Qt::MouseButton button,
    Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {})
{
    QMouseEvent event(
        type, position, widget->mapToGlobal(position), button, buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

// The program's parts around the screen in use, one screen or the other.
struct Rig
{
    VideoControls controls { displaytest::engine() };
    FieldControls field { displaytest::engine() };
    VideoScreenAdapter adapter;
    LandmarkPanel panel { displaytest::engine(), &field };

    Rig(bool useOpenGL, const QString& clip)
        : adapter(useOpenGL, &controls, &field)
    {
        panel.attachTo(&adapter);
        controls.loadFile(clip);
        screen()->resize(700, 540);
        screen()->show();
        adapter.changeImageSize();
        adapter.updateImage();
    }
    QWidget* screen() const { return adapter.screen(); }
    QTransform videoToWidget() const
    {
        if (auto* gl = qobject_cast<VideoScreenGL*>(screen()))
            return gl->videoToWidget();
        return qobject_cast<VideoScreen*>(screen())->videoToWidget();
    }
    QImage shown() const
    {
        if (auto* gl = qobject_cast<VideoScreenGL*>(screen()))
            return gl->grabFramebuffer().convertToFormat(QImage::Format_RGB888);
        return screen()->grab().toImage().convertToFormat(QImage::Format_RGB888);
    }
    // A press at a video point, moves to `to` and the release there.
    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers modifiers = {})
    {
        // A widget position names the pixel whose centre is half a pixel on.
        const QPointF a = videoToWidget().map(from) - QPointF(0.5, 0.5);
        const QPointF b = videoToWidget().map(to) - QPointF(0.5, 0.5);
        sendMouse(screen(), QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton, modifiers);
        for (int step = 1; step <= 4; ++step)
            sendMouse(screen(), QEvent::MouseMove, a + (b - a) * (step / 4.0), Qt::NoButton,
                Qt::LeftButton, modifiers);
        sendMouse(screen(), QEvent::MouseButtonRelease, b, Qt::LeftButton, {}, modifiers);
    }
    QPointF placed(const QString& name) const
    {
        for (const CalibrationData::Landmark& landmark : field.landmarks())
            if (landmark.name == name)
                return landmark.picture;
        return QPointF(-1, -1);
    }
};

bool near(QPointF a, QPointF b, double within) { return QLineF(a, b).length() <= within; }

// Whether a pixel within two of `at` has one of the markers' colours.
bool markerColourNear(const QImage& image, QPoint at)
{
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const QColor c = image.pixelColor(at + QPoint(dx, dy));
            const bool cyan = c.red() < 80 && c.green() > 170 && c.blue() > 190;
            const bool yellow = c.red() > 200 && c.green() > 170 && c.blue() < 80;
            if (cyan || yellow)
                return true;
        }
    }
    return false;
}

} // namespace

class TestLandmarkMarks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void onEachScreen_data();
    void onEachScreen();

private:
    void placeFive(Rig& rig);

    QTemporaryDir dir;
    QString clip;
    const testclips::ClipSettings plan = clipPlan();
    const testclips::ClipTruth truth = testclips::truthFor(plan);
};

void TestLandmarkMarks::initTestCase()
{
    if (!displaytest::engine())
        QSKIP("the engine library has no working factory");
    clip = displaytest::writeClip(dir, plan, "pitch.mkv");
    QVERIFY(!clip.isEmpty());
}

void TestLandmarkMarks::init() { displaytest::engine()->clearFieldPoints(); }

// The four corners and the centre spot, at their true places.
void TestLandmarkMarks::placeFive(Rig& rig)
{
    rig.panel.setActive(true);
    for (const char* name : { "top left corner", "top right corner", "bottom left corner",
             "bottom right corner", "centre spot" }) {
        rig.panel.choose(QString::fromLatin1(name));
        const QPointF pitch = rig.panel.pitch().find(rig.panel.chosen())->pitch;
        const cv::Point2d at = truth.toPicture(pitch.x(), pitch.y());
        rig.panel.takePoint(int(std::lround(at.x)), int(std::lround(at.y)), true);
    }
    QCOMPARE(rig.field.landmarks().size(), 5u);
}

void TestLandmarkMarks::onEachScreen_data()
{
    QTest::addColumn<bool>("useOpenGL");
    QTest::newRow("OpenGL") << true;
    QTest::newRow("plain") << false;
}

void TestLandmarkMarks::onEachScreen()
{
    QFETCH(bool, useOpenGL);
    if (useOpenGL && !OpenGLProbe::available())
        QSKIP("no OpenGL on this display");
    Rig rig(useOpenGL, clip);
    QVERIFY(QTest::qWaitForWindowExposed(rig.screen()));
    placeFive(rig);
    const QString spot = QStringLiteral("centre spot");
    const QString corner = QStringLiteral("bottom left corner");
    const QPointF spotAt = rig.placed(spot);
    const double good = rig.panel.fitRmsPx().value_or(99);
    QVERIFY(good < 1.0);

    // Each marker is drawn on its ring, with the short name beside it.
    const QImage shown = rig.shown();
    for (const CalibrationData::Landmark& landmark : rig.field.landmarks()) {
        const QPointF ring = rig.videoToWidget().map(landmark.picture)
            + QPointF(LandmarkMarks::kMarkerRadiusPx, 0);
        QVERIFY2(markerColourNear(shown, ring.toPoint()), qPrintable(landmark.name));
    }
    QCOMPARE(rig.panel.pitch().find(spot)->shortName, QStringLiteral("CS"));

    // Dragged off (Alt: exactly where dropped): moved, the fit worse at
    // once; one undo takes the whole drag back.
    const QPointF off = spotAt + QPointF(30, -20);
    rig.drag(spotAt, off, Qt::AltModifier);
    QVERIFY(near(rig.placed(spot), off, 1.0));
    QCOMPARE(rig.field.landmarks().size(), 5u);
    QVERIFY(rig.panel.fitRmsPx().value_or(0) > good + 3);
    QVERIFY(rig.panel.fitText().endsWith(QStringLiteral(" over 5 landmarks")));
    rig.field.undoLastPoint();
    QCOMPARE(rig.placed(spot), spotAt);
    QVERIFY(std::abs(rig.panel.fitRmsPx().value_or(99) - good) < 1e-6);

    // A click on a marker picks its landmark and changes nothing.
    rig.drag(rig.placed(corner), rig.placed(corner));
    QCOMPARE(rig.panel.chosen(), corner);
    rig.field.undoLastPoint(); // the centre spot's placing, not a step of the click
    QCOMPARE(rig.field.landmarks().size(), 4u);
    placeFive(rig);

    // A corner dropped a few pixels off settles back on the painted crossing.
    const cv::Point trueCorner = truth.corners[2];
    rig.drag(rig.placed(corner), rig.placed(corner) + QPointF(4, -3));
    QVERIFY2(near(rig.placed(corner), QPointF(trueCorner.x, trueCorner.y), 1.5),
        qPrintable(QStringLiteral("%1, %2").arg(rig.placed(corner).x()).arg(rig.placed(corner).y())));

    // With the mode off a press on a marker is the game centre's.
    rig.panel.setActive(false);
    rig.drag(spotAt, spotAt);
    QCOMPARE(rig.placed(spot), spotAt);
    QVERIFY(rig.field.gameCentre().has_value());
    QVERIFY(near(QPointF(*rig.field.gameCentre()), spotAt, 1.5));
}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    TestLandmarkMarks test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_LandmarkMarks.moc"
