#include "calibration/EngineCalibration.h"

#include "engine/EngineFunctions.h"
#include "calibration/FieldControls.h"
#include "measuring/MeasurementModel.h"
#include "VistrelInterface.h"
#include "VistrelMeasure.h"

#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <climits>
#include <cmath>
#include <type_traits>

namespace {

constexpr int kTopEdge = 0;
constexpr int kBottomEdge = 1;
constexpr double kMsPerSecond = 1000.0;

static_assert(std::is_same_v<decltype(&VistrelSetClickSigma), int (*)(VistrelInterface*, double)>);
using SetClickSigma = int (*)(VistrelInterface*, double);

// The dimensions are kept as floats; written as the float's own short
// decimal (9.15, not 9.149999618530273), which reads back as the same float.
double plainDimension(float value) { return QString::number(value, 'g', 7).toDouble(); }

bool validDimension(double value)
{
    return std::isfinite(value) && value > 0.0 && value <= double(FieldControls::kDimensionMax);
}

int givenCorners(const CalibrationData& data)
{
    int given = 0;
    while (given < CalibrationData::kCornerCount && data.corners[std::size_t(given)])
        ++given;
    return given;
}

// Clicked corners are whole pixels, as the engine takes them.
bool addCorners(VistrelInterface* engine, const CalibrationData& data, int given)
{
    bool complete = true;
    for (int i = 0; i < given; ++i) {
        const QPoint corner = data.corners[std::size_t(i)]->toPoint();
        // The answer is the count of top points still missing; -1 a failure.
        const int edge = i < 2 ? kTopEdge : kBottomEdge;
        complete = engine->addFieldPoint(edge, corner.x(), corner.y()) >= 0 && complete;
    }
    return complete;
}

} // namespace

bool EngineCalibration::apply(VistrelInterface* engine, const CalibrationData& data)
{
    if (!engine)
        return false;
    bool complete = true;
    const std::pair<double, void (VistrelInterface::*)(float)> dimensions[]
        = { { data.length, &VistrelInterface::setFieldLength },
              { data.width, &VistrelInterface::setFieldWidth },
              { data.radius, &VistrelInterface::setCentreCircleRadius } };
    for (const auto& [value, set] : dimensions) {
        if (validDimension(value))
            (engine->*set)(float(value));
        else
            complete = false;
    }
    engine->clearFieldPoints();
    // The lens first: the engine takes every point through it.
    if (!data.lens.isPinhole())
        complete = EngineFunctions::of(engine).setLens(data.lens) == 0 && complete;
    const int given = givenCorners(data);
    if (given == CalibrationData::kCornerCount && data.landmarks.size() >= std::size_t(given))
        complete = CornerPoints::calibrateFrom(engine, data.landmarks) && complete;
    else
        complete = addCorners(engine, data, given) && complete;
    if (given == CalibrationData::kCornerCount) {
        const QPoint centre = data.centre.value_or(data.corners.back()->toPoint());
        complete = engine->setGameCentre(centre.x(), centre.y()) == 0 && complete;
    }
    const auto setSigma
        = reinterpret_cast<SetClickSigma>(EngineFunctions::symbol(engine, "VistrelSetClickSigma"));
    return setSigma && setSigma(engine, data.clickSigmaPx) == 0 && complete;
}

CalibrationData::VideoFacts EngineCalibration::videoFacts(
    VistrelInterface* engine, const QString& path)
{
    return { QFileInfo(path).fileName(), QSize(engine->getFrameWidth(), engine->getFrameHeight()),
        qint64(engine->getFrameCount()), engine->getFps() };
}

CalibrationData EngineCalibration::read(const CalibrationData::VideoFacts& video,
    const FieldControls& field, const MeasurementModel& measurements)
{
    CalibrationData data;
    data.video = video;
    data.length = plainDimension(field.fieldLength());
    data.width = plainDimension(field.fieldWidth());
    data.radius = plainDimension(field.centreRadius());
    data.centreCircleM = field.centreCircleM();
    data.view = field.pitchView();
    const std::vector<QPoint> corners = field.corners();
    const int given = CalibrationData::kCornerCount - field.remainingCorners();
    for (int i = 0; i < given; ++i)
        data.corners[std::size_t(i)] = QPointF(corners[std::size_t(i)]);
    data.centre = field.gameCentre();
    data.lens = field.lens();
    data.landmarks = field.landmarks();
    data.clickSigmaPx = field.clickSigma();
    for (const Measurement& m : measurements.measurements())
        data.measurements.push_back({ m.frame, m.from, m.to });
    return data;
}

std::vector<Measurement> EngineCalibration::measurementsOf(const CalibrationData& data)
{
    std::vector<Measurement> rows;
    for (const auto& stored : data.measurements) {
        Measurement m;
        m.frame = stored.frame;
        // Whole milliseconds rounded down, within the engine's range, as it
        // reports a position.
        const double ms = data.video.fps > 0.0 && stored.frame > 0
            ? double(stored.frame) * kMsPerSecond / data.video.fps
            : 0.0;
        m.timeMs = qint64(std::floor(std::min(ms, double(INT_MAX))));
        m.from = stored.from;
        m.to = stored.to;
        rows.push_back(m);
    }
    return rows;
}
