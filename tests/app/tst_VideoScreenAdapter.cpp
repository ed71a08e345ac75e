// The adapter chooses one screen and relays frames and points between the
// real video controls, that screen and the real field controls.

#include "DisplayTestSupport.h"
#include "calibration/FieldControls.h"
#include "screens/OpenGLProbe.h"
#include "playback/VideoControls.h"
#include "screens/VideoScreen.h"
#include "screens/VideoScreenAdapter.h"
#include "screens/VideoScreenGL.h"

#include <QApplication>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QSignalSpy>
#include <QTest>

namespace {

template <typename Widget> int livingWidgets()
{
    int count = 0;
    for (QWidget* widget : QApplication::allWidgets())
        count += qobject_cast<Widget*>(widget) != nullptr;
    return count;
}

} // namespace

class TestVideoScreenAdapter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void createsOnlyTheChosenScreen_data();
    void createsOnlyTheChosenScreen();
    void relaysPointsAndResetsToFieldControls();
    void relaysFrameSignalsToTheScreen();
};

void TestVideoScreenAdapter::initTestCase()
{
    if (!displaytest::engine())
        QSKIP("the engine library has no working factory");
}

void TestVideoScreenAdapter::init() { displaytest::engine()->clearFieldPoints(); }

void TestVideoScreenAdapter::createsOnlyTheChosenScreen_data()
{
    QTest::addColumn<bool>("useOpenGL");
    QTest::newRow("OpenGL") << true;
    QTest::newRow("plain") << false;
}

void TestVideoScreenAdapter::createsOnlyTheChosenScreen()
{
    QFETCH(bool, useOpenGL);
    if (useOpenGL && !OpenGLProbe::available())
        QSKIP("no OpenGL on this display");

    VideoControls controls(displaytest::engine());
    FieldControls field(displaytest::engine());
    {
        VideoScreenAdapter adapter(useOpenGL, &controls, &field);

        QVERIFY(adapter.screen());
        QVERIFY(!adapter.screen()->parent());
        QCOMPARE(adapter.usesOpenGL(), useOpenGL);
        QCOMPARE(qobject_cast<VideoScreenGL*>(adapter.screen()) != nullptr, useOpenGL);
        QCOMPARE(qobject_cast<VideoScreen*>(adapter.screen()) != nullptr, !useOpenGL);
        QCOMPARE(livingWidgets<VideoScreenGL>(), useOpenGL ? 1 : 0);
        QCOMPARE(livingWidgets<VideoScreen>(), useOpenGL ? 0 : 1);
    }
    // A screen no window took over goes with the adapter.
    QCOMPARE(livingWidgets<VideoScreenGL>() + livingWidgets<VideoScreen>(), 0);
}

void TestVideoScreenAdapter::relaysPointsAndResetsToFieldControls()
{
    VideoControls controls(displaytest::engine());
    FieldControls field(displaytest::engine());
    VideoScreenAdapter adapter(false, &controls, &field);
    auto* screen = qobject_cast<VideoScreen*>(adapter.screen());
    QSignalSpy points(&adapter, &VideoScreenAdapter::givePoint);
    QSignalSpy resets(&adapter, &VideoScreenAdapter::resetPoints);

    emit screen->givePoint(5, 7, true);

    QCOMPARE(points.count(), 1);
    QCOMPARE(points.first(), QList<QVariant>({ 5, 7, true }));
    QCOMPARE(field.corners()[0], QPoint(5, 7));
    QCOMPARE(field.remainingCorners(), 3);
    QCOMPARE(displaytest::engine()->getTopPointsLeft(), 1);

    emit screen->resetPoints();

    QCOMPARE(resets.count(), 1);
    QCOMPARE(field.remainingCorners(), 4);
    QCOMPARE(displaytest::engine()->getTopPointsLeft(), 2);
}

void TestVideoScreenAdapter::relaysFrameSignalsToTheScreen()
{
    QTemporaryDir dir;
    const QString clip = displaytest::writeClip(dir, displaytest::pitchSettings(320, 240, 3), "c.mkv");
    VideoControls controls(displaytest::engine());
    FieldControls field(displaytest::engine());
    VideoScreenAdapter adapter(false, &controls, &field);
    auto* screen = qobject_cast<VideoScreen*>(adapter.screen());
    QGraphicsScene* scene = screen->graphicsScene();
    auto shownSize = [scene] {
        return static_cast<QGraphicsPixmapItem*>(scene->items().first())->pixmap().size();
    };

    controls.loadFile(clip); // new resolution, then the first frame
    QCOMPARE(screen->sizeHint(), QSize(335, 255));
    QCOMPARE(shownSize(), QSize(320, 240));
}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    TestVideoScreenAdapter test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_VideoScreenAdapter.moc"
