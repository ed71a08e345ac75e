// The "Centre circle" setting of the field controls: its choices, and the fit
// readout on a small-sided pitch whose painted circle is not 9.15 m, run on
// the real engine and a generated clip.

#include "DisplayTestSupport.h"
#include "calibration/CentreCircleSetting.h"
#include "calibration/FieldControls.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

namespace {

// A 50 x 32 m small-sided pitch with a 5 m centre circle and no penalty
// areas, its length running from the bottom edge to the top edge, a track
// round it.
testclips::ClipSettings smallSidedPitch()
{
    testclips::ClipSettings s;
    s.width = 1280;
    s.height = 720;
    s.frames = 2;
    s.players = 0;
    s.tilt = 0.4;
    s.fieldLength = 50.f;
    s.fieldWidth = 32.f;
    s.radius = 5.f;
    s.lineWidthPx = 3.f;
    s.surround = testclips::ClipSettings::Surround::Track;
    return s;
}

void typeDimension(QLineEdit* edit, const QString& text)
{
    edit->setText(text);
    emit edit->editingFinished();
}

double fitPx(const QString& text)
{
    const QRegularExpression number(R"(^fit (\d+\.\d) px)");
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : -1.0;
}

} // namespace

class TestCentreCircleSetting : public QObject
{
    Q_OBJECT

private slots:
    void choicesGiveTheRadius();
    void fitReadoutAsksAboutAnotherCircle();

private:
    QTemporaryDir clipDir;
};

// The user's choices in the box, and stored values put back, each reported
// once; values that are no radius change nothing.
void TestCentreCircleSetting::choicesGiveTheRadius()
{
    CentreCircleSetting setting;
    auto* choice = setting.findChild<QComboBox*>("centreCircleChoice");
    auto* other = setting.findChild<QDoubleSpinBox*>("centreCircleRadiusBox");
    QVERIFY(choice && other);
    QSignalSpy reported(&setting, &CentreCircleSetting::radiusChanged);
    QCOMPARE(setting.radiusM(), 9.15);
    QCOMPARE(choice->currentText(), QString("9.15 m"));
    QVERIFY(other->isHidden());

    choice->setCurrentIndex(1);
    QVERIFY(!other->isHidden());
    QCOMPARE(setting.radiusM(), CentreCircleSetting::kOtherDefaultM);
    other->setValue(6.4);
    QCOMPARE(setting.radiusM(), 6.4);
    choice->setCurrentIndex(2);
    QCOMPARE(setting.radiusM(), 0.0);
    QVERIFY(other->isHidden());
    QCOMPARE(reported.size(), 3);
    QCOMPARE(reported.at(2).at(0).toDouble(), 0.0);

    struct Stored
    {
        double value;
        double expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Stored& stored : { Stored { 7.5, 7.5 }, Stored { 9.15, 9.15 }, Stored { 0.0, 0.0 },
             Stored { -2.0, 0.0 }, Stored { nan, 0.0 }, Stored { 500.0, 0.0 } }) {
        reported.clear();
        const double before = setting.radiusM();
        setting.setRadiusM(stored.value);
        QCOMPARE(setting.radiusM(), stored.expected);
        QCOMPARE(reported.size(), stored.expected == before ? 0 : 1);
    }
}

// Calibrated exactly with the 9.15 m circle assumed, the small-sided pitch
// fits well and the readout asks about its 5 m circle rather than warning of
// the corners; with the circle set to 5 m or to none, the plain fit.
void TestCentreCircleSetting::fitReadoutAsksAboutAnotherCircle()
{
    VistrelInterface* engine = displaytest::engine();
    const QString path = displaytest::writeClip(clipDir, smallSidedPitch(), "small.mkv");
    if (!engine || path.isEmpty() || engine->LoadVideo(path.toStdString()) != 0)
        QSKIP("no engine or no generated clip");
    engine->clearFieldPoints();
    FieldControls controls(engine);
    const QList<QLineEdit*> edits = controls.findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
    typeDimension(edits[0], "50");
    typeDimension(edits[1], "32");
    for (const cv::Point& corner : testclips::truthFor(smallSidedPitch()).corners)
        controls.selectPoint(corner.x, corner.y, true);

    QVERIFY2(controls.fitText().endsWith(
                 " px; the centre circle measures 5.0 m, not 9.15 m: is the pitch 50 x 32 m?"),
        qPrintable(controls.fitText()));
    QVERIFY2(fitPx(controls.fitText()) >= 0 && fitPx(controls.fitText()) < 1.5,
        qPrintable(controls.fitText()));
    QVERIFY(!controls.fitIsPoor());

    for (const double radiusM : { 5.0, 0.0 }) {
        controls.centreCircleSetting()->setRadiusM(radiusM);
        QCOMPARE(controls.centreCircleM(), radiusM);
        const double px = fitPx(controls.fitText());
        QVERIFY2(px >= 0 && px < 1.5 && !controls.fitText().contains("centre circle"),
            qPrintable(controls.fitText()));
    }
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TestCentreCircleSetting test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_CentreCircleSetting.moc"
