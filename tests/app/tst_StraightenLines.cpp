// Straighten lines against the real engine on clips generated through a
// known lens: what it tells, the one undo step, and the overlay of both
// screens lying on the bent paint once the corners are clicked. On the
// half-pitch clips of the media folder where present: what it finds, and
// how long it takes.

#include "DisplayTestSupport.h"
#include "calibration/FieldControls.h"
#include "calibration/LandmarkPanel.h"
#include "calibration/StraightenLines.h"
#include "engine/EngineFunctions.h"
#include "engine/PitchMeasurer.h"
#include "playback/VideoControls.h"
#include "screens/ExportedFrame.h"
#include "screens/OpenGLProbe.h"
#include "screens/VideoScreen.h"
#include "screens/VideoScreenGL.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QLineF>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>

namespace {

testclips::ClipSettings bentSpec()
{
    testclips::ClipSettings plan;
    plan.width = 640;
    plan.height = 360;
    plan.frames = 3;
    plan.players = 0;
    plan.lineWidth = 0.3f;
    plan.tilt = 0.4;
    plan.lens = { 0.25, 0.03, 0.06, -0.05 };
    return plan;
}

const QSize kPicture(640, 360);

// The clip's pitch typed into the field controls.
void typePitch(FieldControls& field, const testclips::ClipSettings& plan)
{
    const float values[] = { plan.fieldLength, plan.fieldWidth, plan.radius };
    for (int i = 0; i < 3; ++i) {
        QLineEdit* edit = field.findChildren<QLineEdit*>().value(i);
        edit->setText(QString::number(values[i]));
        QTest::keyClick(edit, Qt::Key_Return);
    }
}

cv::Point2d recorded(const testclips::ClipSettings& plan, double x, double y)
{
    const testclips::ClipTruth truth = testclips::truthFor(plan);
    return plan.lens.distort(truth.toPicture(x, y), cv::Size(plan.width, plan.height));
}

// The pitch's outline as the camera recorded it: points along each edge,
// away from the corners (where the other edge's paint lies close).
std::vector<QPointF> bentOutline(const testclips::ClipSettings& plan)
{
    const double w = plan.fieldWidth;
    const double l = plan.fieldLength;
    const double ends[4][4] = { { 0, 0, w, 0 }, { 0, l, w, l }, { 0, 0, 0, l }, { w, 0, w, l } };
    std::vector<QPointF> points;
    for (const auto& e : ends) {
        for (double t = 0.1; t < 0.91; t += 0.02) {
            const cv::Point2d p = recorded(plan, e[0] + t * (e[2] - e[0]), e[1] + t * (e[3] - e[1]));
            points.emplace_back(p.x, p.y);
        }
    }
    return points;
}

// The straight line between the two near corners, where it runs at least
// 4 px off the bent touchline: a pinhole overlay would lie there.
std::vector<QPointF> straightChord(const testclips::ClipSettings& plan)
{
    const cv::Point2d a = recorded(plan, 0, 0);
    const cv::Point2d b = recorded(plan, plan.fieldWidth, 0);
    std::vector<QPointF> points;
    for (double t = 0.1; t < 0.91; t += 0.02) {
        const cv::Point2d chord = a + t * (b - a);
        const cv::Point2d paint = recorded(plan, t * plan.fieldWidth, 0);
        if (cv::norm(chord - paint) >= 4.0)
            points.emplace_back(chord.x, chord.y);
    }
    return points;
}

// The share of points with a pixel within one pixel that `drawn` says is
// overlay.
double shareDrawn(const std::vector<QPointF>& points, const std::function<bool(QPoint)>& drawn)
{
    if (points.empty())
        return 0.0;
    int hits = 0;
    for (const QPointF& p : points) {
        bool near = false;
        for (int dy = -1; dy <= 1 && !near; ++dy) {
            for (int dx = -1; dx <= 1 && !near; ++dx)
                near = drawn(p.toPoint() + QPoint(dx, dy));
        }
        hits += near;
    }
    return double(hits) / double(points.size());
}

bool differs(const QImage& shown, const QImage& frame, QPoint p)
{
    if (!shown.rect().contains(p))
        return false;
    const QRgb a = shown.pixel(p);
    const QRgb b = frame.pixel(p);
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b))
        + std::abs(qBlue(a) - qBlue(b))
        > 60;
}

// The corners from..to-1 in click order, exactly where the camera recorded them.
void clickRecordedCorners(FieldControls& field, const testclips::ClipSettings& plan, int from = 0,
    int to = FieldControls::kCornerCount)
{
    const double w = plan.fieldWidth;
    const double l = plan.fieldLength;
    const std::pair<double, double> corners[] = { { 0.0, l }, { w, l }, { 0.0, 0.0 }, { w, 0.0 } };
    for (int i = from; i < to; ++i) {
        const cv::Point2d p = recorded(plan, corners[i].first, corners[i].second);
        field.selectPoint(int(std::lround(p.x)), int(std::lround(p.y)), true);
    }
}

CameraLens engineLens()
{
    CameraLens lens;
    EngineFunctions::of(displaytest::engine()).lens(&lens);
    return lens;
}

// Runs the action and waits for its end; the last notice.
QString straighten(StraightenLines& action)
{
    QSignalSpy notices(&action, &StraightenLines::notice);
    QSignalSpy finished(&action, &StraightenLines::finished);
    action.action()->trigger();
    if (action.isRunning() && !finished.wait(30000) && finished.isEmpty())
        return QString();
    return notices.isEmpty() ? QString() : notices.last().at(0).toString();
}

const QRegularExpression kFoundText(
    QStringLiteral("^lens k1 -?\\d+\\.\\d\\d: the painted lines are now straight to \\d+\\.\\d px$"));

} // namespace

class TestStraightenLines : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void findsTheLensAsOneUndoStep();
    void plainScreenDrawsTheOverlayOnTheBentPaint();
    void openGLScreenDrawsTheOverlayOnTheBentPaint();
    void straightensTheHalfPitchClips_data();
    void straightensTheHalfPitchClips();
    void landmarksCalibrateTheLeftHalfClip();

private:
    QTemporaryDir dir;
    QString clip;
    testclips::ClipSettings plan = bentSpec();
};

void TestStraightenLines::initTestCase()
{
    if (!displaytest::engine())
        QSKIP("the engine library has no working factory");
    if (!EngineFunctions::of(displaytest::engine()).canModelLens())
        QSKIP("the engine library has no lens functions");
    clip = displaytest::writeClip(dir, plan, "bent.mkv");
    QVERIFY(!clip.isEmpty());
}

void TestStraightenLines::init()
{
    VistrelInterface* engine = displaytest::engine();
    engine->clearFieldPoints();
    CameraLens pinhole = engineLens();
    pinhole.k1 = pinhole.k2 = 0.0;
    EngineFunctions::of(engine).setLens(pinhole);
}

void TestStraightenLines::findsTheLensAsOneUndoStep()
{
    VideoControls controls(displaytest::engine());
    FieldControls field(displaytest::engine());
    typePitch(field, plan);
    StraightenLines action(displaytest::engine(), &controls, &field, nullptr);
    QCOMPARE(straighten(action),
        QStringLiteral("Open a video first: the lines are straightened on its picture"));

    QVERIFY(controls.loadFile(clip));
    clickRecordedCorners(field, plan, 0, 2);
    const CameraLens before = engineLens();
    const QString told = straighten(action);
    QVERIFY2(kFoundText.match(told).hasMatch(), qPrintable(told));
    QVERIFY(action.action()->isEnabled());
    const CameraLens found = engineLens();
    QCOMPARE(field.lens(), found);
    QVERIFY2(std::abs(found.k1 - plan.lens.k1) < 0.05, qPrintable(QString::number(found.k1)));

    // Corners clicked after it are taken back first, then the lens alone.
    clickRecordedCorners(field, plan, 2, 4);
    QVERIFY(field.cornersComplete());
    field.undoLastPoint();
    field.undoLastPoint();
    QCOMPARE(field.remainingCorners(), 2);
    QCOMPARE(engineLens(), found);
    field.undoLastPoint();
    QCOMPARE(engineLens(), before);
    QCOMPARE(field.lens().k1, 0.0);
    QCOMPARE(field.remainingCorners(), 2);
}

// The engine burns the overlay into the picture the plain screen shows.
void TestStraightenLines::plainScreenDrawsTheOverlayOnTheBentPaint()
{
    VideoControls controls(displaytest::engine());
    FieldControls field(displaytest::engine());
    typePitch(field, plan);
    VideoScreen screen(&controls);
    connect(&controls, &VideoControls::giveNewImage, &screen, &VideoScreen::updateImage);
    StraightenLines action(displaytest::engine(), &controls, &field, nullptr);
    QVERIFY(controls.loadFile(clip));
    screen.changeImageSize();
    const QString told = straighten(action);
    QVERIFY2(kFoundText.match(told).hasMatch(), qPrintable(told));
    clickRecordedCorners(field, plan);
    controls.stepForward();

    const QImage frame = displaytest::expectedFrame(plan, 1);
    const auto shown = [&] {
        return ExportedFrame::toImage(controls.currentFrame(), kPicture.width(), kPicture.height());
    };
    QTRY_VERIFY_WITH_TIMEOUT(shown() != frame, 10000);
    const QImage image = shown();
    const auto drawn = [&](QPoint p) { return differs(image, frame, p); };
    const double onPaint = shareDrawn(bentOutline(plan), drawn);
    const std::vector<QPointF> chord = straightChord(plan);
    QVERIFY(chord.size() > 10);
    const double onChord = shareDrawn(chord, drawn);
    QVERIFY2(onPaint > 0.95, qPrintable(QString::number(onPaint)));
    QVERIFY2(onChord < 0.1, qPrintable(QString::number(onChord)));
}

// The OpenGL screen draws the engine's line lists itself.
void TestStraightenLines::openGLScreenDrawsTheOverlayOnTheBentPaint()
{
    if (!OpenGLProbe::available())
        QSKIP("no OpenGL on this display");
    VideoControls controls(displaytest::engine());
    FieldControls field(displaytest::engine());
    typePitch(field, plan);
    VideoScreenGL screen(&controls, &field);
    connect(&controls, &VideoControls::giveNewImage, &screen, &VideoScreenGL::updateImage);
    QVERIFY(controls.loadFile(clip));
    screen.resize(kPicture); // one widget pixel per video pixel
    screen.show();
    screen.changeImageSize();
    QVERIFY(QTest::qWaitForWindowExposed(&screen));
    const CameraLens pinhole = engineLens();
    const cv::Point2d centre = plan.lens.centre(cv::Size(plan.width, plan.height));
    field.setLens({ plan.lens.k1, plan.lens.k2, centre.x, centre.y }, pinhole);
    clickRecordedCorners(field, plan);
    controls.stepForward();
    screen.updateImage();

    const QImage frame = displaytest::expectedFrame(plan, 1);
    const auto grab = [&] { return screen.grabFramebuffer().convertToFormat(QImage::Format_RGB888); };
    const auto onPaint = [&] {
        const QImage image = grab();
        return shareDrawn(bentOutline(plan), [&](QPoint p) { return differs(image, frame, p); });
    };
    QTRY_VERIFY_WITH_TIMEOUT(onPaint() > 0.95, 10000);
    const QImage image = grab();
    const double onChord
        = shareDrawn(straightChord(plan), [&](QPoint p) { return differs(image, frame, p); });
    QVERIFY2(onChord < 0.1, qPrintable(QString::number(onChord)));
}

void TestStraightenLines::straightensTheHalfPitchClips_data()
{
    QTest::addColumn<QString>("file");
    QTest::addRow("left half") << QStringLiteral("soccer_fixedcam_lefthalf_3072x1728_hevc.mp4");
    QTest::addRow("right half") << QStringLiteral("soccer_fixedcam_righthalf_3072x1728_hevc.mp4");
}

// Barrel distortion, found and told without freezing the window.
void TestStraightenLines::straightensTheHalfPitchClips()
{
    QFETCH(QString, file);
    const QString path = QStringLiteral(TARVOLA_MEDIA_DIR "/") + file;
    if (!QFileInfo::exists(path))
        QSKIP("the media folder is absent");
    VideoControls controls(displaytest::engine());
    FieldControls field(displaytest::engine());
    StraightenLines action(displaytest::engine(), &controls, &field, nullptr);
    QVERIFY(controls.loadFile(path));
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(20);
    QElapsedTimer clock;
    clock.start();
    const QString told = straighten(action);
    const qint64 ms = clock.elapsed();
    qInfo("%s: \"%s\" in %lld ms", qPrintable(file), qPrintable(told), ms);
    QVERIFY2(kFoundText.match(told).hasMatch(), qPrintable(told));
    QVERIFY(field.lens().k1 > 0.05);
    if (ms > 200)
        QVERIFY2(ticks >= ms / 200, qPrintable(QString::number(ticks)));
}

// Calibrated as a 52.5 x 68 m left half from eight painted landmarks read
// off frame 0, then straightened: the readout is the landmarks' fit (the
// painted markings near the projected lines would pass the pinhole fit).
void TestStraightenLines::landmarksCalibrateTheLeftHalfClip()
{
    const QString path
        = QStringLiteral(TARVOLA_MEDIA_DIR "/soccer_fixedcam_lefthalf_3072x1728_hevc.mp4");
    if (!QFileInfo::exists(path))
        QSKIP("the media folder is absent");
    VideoControls controls(displaytest::engine());
    FieldControls field(displaytest::engine());
    StraightenLines action(displaytest::engine(), &controls, &field, nullptr);
    LandmarkPanel panel(displaytest::engine(), &field);
    QVERIFY(controls.loadFile(path));
    for (const auto& [index, value] : { std::pair(0, "68"), std::pair(1, "52.5") }) {
        QLineEdit* edit = field.findChildren<QLineEdit*>().value(index);
        edit->setText(QString::fromLatin1(value));
        QTest::keyClick(edit, Qt::Key_Return);
    }
    panel.setView(PitchLandmarks::View::LeftHalf);
    panel.setActive(true);
    const std::pair<const char*, QPoint> read[] = {
        { "top left corner", { 1586, 788 } },
        { "bottom left corner", { 126, 1141 } },
        { "halfway line, second end", { 2769, 746 } },
        { "halfway line, first end", { 2873, 1572 } },
        { "near penalty area, first corner on the goal line", { 561, 1031 } },
        { "near penalty area, first corner in the field", { 941, 1054 } },
        { "near penalty area, second corner in the field", { 1774, 813 } },
        { "near penalty area, second corner on the goal line", { 1420, 828 } },
    };
    for (const auto& [name, at] : read) {
        panel.choose(QString::fromLatin1(name));
        QCOMPARE(panel.chosen(), QString::fromLatin1(name));
        QVERIFY(panel.takePoint(at.x(), at.y(), true));
    }
    QVERIFY(field.cornersComplete());
    // Through a pinhole the lines miss the bent paint: the readout is the
    // landmarks' fit, and poor.
    const double pinholeRms = panel.fitRmsPx().value_or(0);
    QVERIFY2(pinholeRms > 20, qPrintable(panel.fitText()));
    qInfo("pinhole: \"%s\"", qPrintable(field.fitText()));
    QCOMPARE(field.fitText(), panel.fitText());
    QVERIFY(field.fitIsPoor());

    QVERIFY(kFoundText.match(straighten(action)).hasMatch());
    // About 4 px: the landmarks were read off the picture to a few pixels.
    QVERIFY2(panel.fitRmsPx().value_or(99) < 6.0, qPrintable(panel.fitText()));
    qInfo("straightened: \"%s\"", qPrintable(field.fitText()));
    QCOMPARE(field.fitText(), panel.fitText());
    QVERIFY(field.fitText().endsWith(QStringLiteral(" px over 8 landmarks")));

    // The game centre is the centre spot, in the middle of the halfway line
    // at the half's edge, not the middle of the half.
    const std::optional<QPoint> centre = field.gameCentre();
    QVERIFY(centre);
    VistrelInterface* engine = displaytest::engine();
    const PitchMeasurer measurer(
        engine, [engine](const char* name) { return EngineFunctions::symbol(engine, name); });
    const std::optional<QPointF> spot = measurer.toPitch(QPointF(*centre));
    QVERIFY(spot);
    QVERIFY2(std::abs(spot->x() - 52.5) < 0.5 && std::abs(spot->y() - 34.0) < 0.5,
        qPrintable(QStringLiteral("the game centre lies at %1, %2 m").arg(spot->x()).arg(spot->y())));
}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    TestStraightenLines test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_StraightenLines.moc"
