// Calibration from named landmarks with the real engine on a generated clip:
// the landmarks of a pitch, placing four or more in any order, the fit, and
// replacing, removing and undoing.

#include "DisplayTestSupport.h"
#include "calibration/FieldControls.h"
#include "calibration/LandmarkPanel.h"
#include "calibration/PitchLandmarks.h"
#include "calibration/PitchTopView.h"
#include "playback/VideoControls.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

testclips::ClipSettings clipPlan()
{
    testclips::ClipSettings plan = displaytest::pitchSettings(640, 480, 2);
    plan.players = 0;
    plan.fieldWidth = 68.0f;
    plan.fieldLength = 105.0f;
    plan.radius = 9.15f;
    plan.penaltyAreas = true;
    return plan;
}

void typeDimension(FieldControls& field, int index, const QString& text)
{
    QLineEdit* edit = field.findChildren<QLineEdit*>().value(index);
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace

class TestLandmarkPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void namesTheLandmarksOfThePitch_data();
    void namesTheLandmarksOfThePitch();
    void fourOrMoreLandmarksCalibrate();
    void landmarksAreReplacedRemovedAndUndone();

private:
    QTemporaryDir dir;
    QString clip;
    const testclips::ClipSettings plan = clipPlan();
};

void TestLandmarkPanel::initTestCase()
{
    if (!displaytest::engine())
        QSKIP("the engine library has no working factory");
    clip = displaytest::writeClip(dir, plan, "pitch.mkv");
    QVERIFY(!clip.isEmpty());
}

void TestLandmarkPanel::init() { displaytest::engine()->clearFieldPoints(); }

void TestLandmarkPanel::namesTheLandmarksOfThePitch_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("length");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPointF>("pitch"); // (-1, -1): not on this pitch
    QTest::addColumn<int>("view");
    const int whole = int(PitchLandmarks::View::Whole);
    const int leftHalf = int(PitchLandmarks::View::LeftHalf);
    const int rightHalf = int(PitchLandmarks::View::RightHalf);
    QTest::addRow("corner") << 68.0 << 105.0 << "top right corner" << QPointF(68, 105) << whole;
    QTest::addRow("goal lines across x: halfway line")
        << 68.0 << 105.0 << "halfway line, second end" << QPointF(68, 52.5) << whole;
    QTest::addRow("goal lines across y: halfway line")
        << 105.0 << 68.0 << "halfway line, second end" << QPointF(52.5, 68) << whole;
    QTest::addRow("circle crossing") << 105.0 << 68.0 << "centre circle, first crossing"
                                     << QPointF(52.5, 34 - 9.15) << whole;
    QTest::addRow("far penalty spot") << 68.0 << 105.0 << "far penalty spot" << QPointF(34, 94) << whole;
    QTest::addRow("goal area in the field")
        << 105.0 << 68.0 << "near goal area, second corner in the field"
        << QPointF(5.5, 34 + 9.16) << whole;
    QTest::addRow("small pitch: no penalty area")
        << 27.0 << 36.0 << "near penalty spot" << QPointF(-1, -1) << whole;
    QTest::addRow("left half: centre spot on its right edge")
        << 52.5 << 68.0 << "centre spot" << QPointF(52.5, 34) << leftHalf;
    QTest::addRow("left half: penalty area on its left edge")
        << 52.5 << 68.0 << "near penalty area, first corner in the field" << QPointF(16.5, 13.84)
        << leftHalf;
    QTest::addRow("left half: no far corners") << 52.5 << 68.0 << "top right corner"
                                               << QPointF(-1, -1) << leftHalf;
    QTest::addRow("right half: far penalty spot")
        << 52.5 << 68.0 << "far penalty spot" << QPointF(41.5, 34) << rightHalf;
}

void TestLandmarkPanel::namesTheLandmarksOfThePitch()
{
    QFETCH(double, width);
    QFETCH(double, length);
    QFETCH(QString, name);
    QFETCH(QPointF, pitch);
    QFETCH(int, view);
    const PitchLandmarks landmarks(width, length, 9.15, PitchLandmarks::View(view));
    const PitchLandmarks::Landmark* found = landmarks.find(name);
    if (pitch.x() < 0) {
        QVERIFY(!found);
        return;
    }
    QVERIFY(found);
    QVERIFY2(QLineF(found->pitch, pitch).length() < 1e-9,
        qPrintable(QStringLiteral("%1, %2").arg(found->pitch.x()).arg(found->pitch.y())));
}

// The four corners as landmarks give the calibration of the four clicked
// corners; more landmarks in another order fit the same pitch.
void TestLandmarkPanel::fourOrMoreLandmarksCalibrate()
{
    VideoControls controls(displaytest::engine());
    FieldControls field(displaytest::engine());
    LandmarkPanel panel(displaytest::engine(), &field);
    QVERIFY(controls.loadFile(clip));
    typeDimension(field, 0, QStringLiteral("105"));
    typeDimension(field, 1, QStringLiteral("68"));
    typeDimension(field, 2, QStringLiteral("9.15"));
    const testclips::ClipTruth truth = testclips::truthFor(plan);
    QVERIFY(!panel.takePoint(10, 10)); // off: the click is a corner's
    for (const cv::Point& corner : truth.corners)
        field.selectPoint(corner.x, corner.y, true);
    const std::vector<FieldLine> clicked = displaytest::engine()->getFieldLines();
    field.resetPoints();

    panel.setActive(true);
    QSignalSpy notices(&panel, &LandmarkPanel::notice);
    QVERIFY(panel.takePoint(10, 10));
    QCOMPARE(notices.size(), 1); // none chosen yet
    const auto place = [&](const QString& name) {
        panel.choose(name);
        const QPointF pitch = panel.pitch().find(name)->pitch;
        const cv::Point2d at = truth.toPicture(pitch.x(), pitch.y());
        QVERIFY(panel.takePoint(int(std::lround(at.x)), int(std::lround(at.y)), true));
    };
    for (const char* name :
        { "bottom right corner", "top left corner", "bottom left corner", "top right corner" }) {
        QVERIFY(!field.cornersComplete());
        place(QString::fromLatin1(name));
    }
    QVERIFY(field.cornersComplete());
    QVERIFY(panel.fitRmsPx().value_or(99) < 0.5);
    QCOMPARE(field.landmarks().size(), 4u);
    const std::vector<FieldLine> fitted = displaytest::engine()->getFieldLines();
    QCOMPARE(fitted.size(), clicked.size());
    for (std::size_t i = 0; i < fitted.size(); ++i) {
        QVERIFY(std::abs(fitted[i].x1 - clicked[i].x1) <= 1);
        QVERIFY(std::abs(fitted[i].y2 - clicked[i].y2) <= 1);
    }

    for (const char* name : { "near penalty spot", "centre spot", "far goal area, first corner in the field" })
        place(QString::fromLatin1(name));
    QVERIFY2(panel.fitRmsPx().value_or(99) < 1.0, qPrintable(panel.fitText()));
    QVERIFY(panel.fitText().startsWith(QStringLiteral("fit ")));
    QVERIFY(panel.fitText().endsWith(QStringLiteral(" px over 7 landmarks")));
}

void TestLandmarkPanel::landmarksAreReplacedRemovedAndUndone()
{
    VideoControls controls(displaytest::engine());
    FieldControls field(displaytest::engine());
    LandmarkPanel panel(displaytest::engine(), &field);
    QVERIFY(controls.loadFile(clip));
    typeDimension(field, 0, QStringLiteral("105"));
    typeDimension(field, 1, QStringLiteral("68"));
    panel.setActive(true);
    const testclips::ClipTruth truth = testclips::truthFor(plan);
    const char* names[] = { "top left corner", "top right corner", "bottom left corner",
        "bottom right corner" };
    for (int i = 0; i < 4; ++i) {
        panel.choose(QString::fromLatin1(names[i]));
        panel.takePoint(truth.corners[i].x, truth.corners[i].y, true);
    }
    // The penalty spot, off both diagonals: any three corners and it
    // still give a pitch.
    const cv::Point2d spot = truth.toPicture(34, 11);
    const QPoint penaltySpot(int(std::lround(spot.x)), int(std::lround(spot.y)));
    panel.choose(QStringLiteral("near penalty spot"));
    panel.takePoint(penaltySpot.x(), penaltySpot.y(), true);
    const double good = panel.fitRmsPx().value_or(99);
    QVERIFY(good < 1.0);

    // Placed wrong, then again: replaced, not added.
    panel.takePoint(penaltySpot.x() + 30, penaltySpot.y() - 20, true);
    QCOMPARE(field.landmarks().size(), 5u);
    QVERIFY(panel.fitRmsPx().value_or(0) > good + 3);
    panel.takePoint(penaltySpot.x(), penaltySpot.y(), true);
    QVERIFY(std::abs(panel.fitRmsPx().value_or(99) - good) < 1e-6);

    // Removed down to three: they calibrate nothing; undo brings one back.
    panel.choose(QStringLiteral("top left corner"));
    panel.removeChosen();
    QCOMPARE(field.landmarks().size(), 4u);
    QVERIFY(field.cornersComplete());
    panel.choose(QStringLiteral("top right corner"));
    panel.removeChosen();
    QCOMPARE(field.landmarks().size(), 3u);
    QVERIFY(!field.cornersComplete());
    QCOMPARE(panel.fitText(), QStringLiteral("3 of 4 landmarks placed"));
    field.undoLastPoint();
    QCOMPARE(field.landmarks().size(), 4u);
    QVERIFY(field.cornersComplete());
    field.undoLastPoint();
    field.undoLastPoint(); // the replacement
    QVERIFY(panel.fitRmsPx().value_or(0) > good + 3); // the wrong place again

    // Three on one line give no pitch: refused, nothing changed.
    field.resetPoints();
    QSignalSpy notices(&panel, &LandmarkPanel::notice);
    for (const char* name : { "bottom left corner", "halfway line, first end", "top left corner",
             "top right corner" }) {
        panel.choose(QString::fromLatin1(name));
        panel.takePoint(100, 100, true);
    }
    QCOMPARE(notices.size(), 1);
    QCOMPARE(field.landmarks().size(), 3u);

    // The top view picks the landmark under the mouse.
    auto* view = panel.findChild<PitchTopView*>();
    view->resize(280, 190);
    const QPointF spotOnView = view->toWidget(panel.pitch().find(QStringLiteral("centre spot"))->pitch);
    QTest::mouseClick(view, Qt::LeftButton, {}, spotOnView.toPoint() + QPoint(2, 1));
    QCOMPARE(panel.chosen(), QStringLiteral("centre spot"));
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TestLandmarkPanel test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_LandmarkPanel.moc"
