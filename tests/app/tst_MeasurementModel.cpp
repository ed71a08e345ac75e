// Measurements take their pitch values from the real engine and follow every
// change of the calibration; their CSV reads the same in every locale.

#include "DisplayTestSupport.h"
#include "measuring/MeasurementModel.h"
#include "engine/PitchMeasurer.h"

#include <QTest>

#include <dlfcn.h>

namespace {

// The engine library's C functions, from the copy the engine came from.
void* resolveInEngine(const char* name)
{
    void* module = dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD);
    return module ? dlsym(module, name) : nullptr;
}

// A picture rectangle of 400 x 300 px as a pitch 105 m wide and 68 m long.
void calibrate(VistrelInterface& engine)
{
    engine.clearFieldPoints();
    engine.setFieldWidth(105.0f);
    engine.setFieldLength(68.0f);
    engine.addFieldPoint(0, 100, 100);
    engine.addFieldPoint(0, 500, 100);
    engine.addFieldPoint(1, 100, 400);
    engine.addFieldPoint(1, 500, 400);
}

Measurement bottomEdge()
{
    Measurement m;
    m.frame = 25;
    m.timeMs = 1000;
    m.from = QPointF(100, 400);
    m.to = QPointF(500, 400);
    return m;
}

} // namespace

class TestMeasurementModel : public QObject
{
    Q_OBJECT

private slots:
    void followsTheCalibration();
    void copiesAsCsvInTheCLocale();
};

void TestMeasurementModel::followsTheCalibration()
{
    VistrelInterface* engine = displaytest::engine();
    QVERIFY(engine);
    const PitchMeasurer measurer(engine, resolveInEngine);
    QVERIFY(measurer.available());
    engine->clearFieldPoints();
    MeasurementModel model(&measurer);
    model.add(bottomEdge());
    QVERIFY(!model.at(0).measured);

    calibrate(*engine);
    model.recalculate();
    QVERIFY(model.at(0).measured);
    QCOMPARE(qRound(model.at(0).distance.metres * 1000), 105000);
    QCOMPARE(model.at(0).pitchTo, QPointF(105, 0));
    QVERIFY(model.at(0).distance.sigmaMetres > 0.0);

    engine->setFieldWidth(100.0f);
    model.recalculate();
    QCOMPARE(qRound(model.at(0).distance.metres * 1000), 100000);
    QCOMPARE(MeasurementModel::label(model.at(0)).left(9), QStringLiteral("100.0 m \u00b1"));
    engine->clearFieldPoints();
}

void TestMeasurementModel::copiesAsCsvInTheCLocale()
{
    VistrelInterface* engine = displaytest::engine();
    QVERIFY(engine);
    const PitchMeasurer measurer(engine, resolveInEngine);
    calibrate(*engine);
    QVERIFY(measurer.setClickSigma(0.0));
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    MeasurementModel model(&measurer);
    model.add(bottomEdge());
    const QString csv = model.toCsv();
    QLocale::setDefault(previous);
    measurer.setClickSigma(1.0);
    engine->clearFieldPoints();
    QCOMPARE(csv,
        QStringLiteral("frame,time_s,from_x_m,from_y_m,to_x_m,to_y_m,distance_m,sigma_m\n"
                       "25,1.000,0.00,0.00,105.00,0.00,105.00,0.00\n"));
}

QTEST_GUILESS_MAIN(TestMeasurementModel)
#include "tst_MeasurementModel.moc"
