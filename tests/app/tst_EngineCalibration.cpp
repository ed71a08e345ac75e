// A stored calibration put into a bare engine draws the same pitch as the
// same points clicked in the field controls, and reads back unchanged.

#include "calibration/EngineCalibration.h"
#include "engine/EngineFunctions.h"
#include "calibration/FieldControls.h"
#include "measuring/MeasurementModel.h"
#include "engine/PitchMeasurer.h"
#include "ShellTestSupport.h"

#include <QTest>

namespace {

double clickSigmaOf(VistrelInterface* engine)
{
    return PitchMeasurer(engine, [engine](const char* name) {
        return EngineFunctions::symbol(engine, name);
    }).clickSigma();
}

} // namespace

class tst_EngineCalibration : public QObject
{
    Q_OBJECT

private slots:
    void appliedCalibrationMatchesTheClickedOne();
};

void tst_EngineCalibration::appliedCalibrationMatchesTheClickedOne()
{
    VistrelInterface* clicked = shelltest::loadEngine();
    VistrelInterface* bare = shelltest::loadEngine();
    QVERIFY(clicked && bare && clicked != bare);
    FieldControls field(clicked);
    CalibrationData typed;
    typed.length = 100.0;
    typed.width = 64.0;
    typed.radius = 9.15;
    field.applyCalibration(typed);
    for (const QPoint& point :
        { QPoint(20, 10), QPoint(140, 12), QPoint(8, 110), QPoint(150, 108), QPoint(81, 60) })
        field.selectPoint(point.x(), point.y(), true);
    field.setClickSigma(2.5);
    MeasurementModel measurements(nullptr);
    Measurement measured;
    measured.frame = 12;
    measured.from = QPointF(30.5, 40);
    measured.to = QPointF(90, 70.25);
    measurements.add(measured);

    const CalibrationData data = EngineCalibration::read({}, field, measurements);
    QCOMPARE(data.centre, std::optional(QPoint(81, 60)));
    QCOMPARE(data.radius, 9.15); // as typed, not as the float holds it
    QVERIFY(EngineCalibration::apply(bare, data));
    QCOMPARE(bare->getFieldLength(), 100.0f);
    QCOMPARE(bare->getTopPointsLeft() + bare->getBottomPointsLeft(), 0);
    QVERIFY(!bare->getFieldLines().empty());
    QVERIFY(shelltest::sameLines(bare->getFieldLines(), clicked->getFieldLines()));
    QVERIFY(shelltest::sameLines(bare->getCentreLines(), clicked->getCentreLines()));
    QCOMPARE(clickSigmaOf(bare), 2.5);

    CalibrationData timed = data;
    timed.video.fps = 25.0;
    const std::vector<Measurement> rows = EngineCalibration::measurementsOf(timed);
    QCOMPARE(rows.at(0).timeMs, qint64(480));

    // A refused click sigma is reported, and the rest still applied.
    timed.clickSigmaPx = 80.0;
    timed.length = 90.0;
    QVERIFY(!EngineCalibration::apply(bare, timed));
    QCOMPARE(bare->getFieldLength(), 90.0f);
    QCOMPARE(clickSigmaOf(bare), 2.5);
}

QTEST_MAIN(tst_EngineCalibration)
#include "tst_EngineCalibration.moc"
