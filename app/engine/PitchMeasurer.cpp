#include "engine/PitchMeasurer.h"

namespace {

template <typename Function> Function lookUp(const PitchMeasurer::Resolver& resolve, const char* name)
{
    return resolve ? reinterpret_cast<Function>(resolve(name)) : nullptr;
}

} // namespace

PitchMeasurer::PitchMeasurer(VistrelInterface* engine, const Resolver& resolve)
    : engine(engine)
    , pictureToPitch(lookUp<ToPitchFn>(resolve, "VistrelPictureToPitch"))
    , pitchToPicture(lookUp<ToPitchFn>(resolve, "VistrelPitchToPicture"))
    , measureDistance(lookUp<MeasureFn>(resolve, "VistrelMeasureDistance"))
    , getClickSigma(lookUp<GetSigmaFn>(resolve, "VistrelGetClickSigma"))
    , setClickSigmaFn(lookUp<SetSigmaFn>(resolve, "VistrelSetClickSigma"))
{
}

bool PitchMeasurer::available() const
{
    return engine && pictureToPitch && measureDistance && getClickSigma && setClickSigmaFn;
}

std::optional<QPointF> PitchMeasurer::toPitch(const QPointF& picture) const
{
    double x = 0.0;
    double y = 0.0;
    if (!available() || pictureToPitch(engine, picture.x(), picture.y(), &x, &y) != 0)
        return std::nullopt;
    return QPointF(x, y);
}

std::optional<QPointF> PitchMeasurer::toPicture(const QPointF& pitch) const
{
    double px = 0.0;
    double py = 0.0;
    if (!engine || !pitchToPicture || pitchToPicture(engine, pitch.x(), pitch.y(), &px, &py) != 0)
        return std::nullopt;
    return QPointF(px, py);
}

std::optional<PitchDistance> PitchMeasurer::distance(const QPointF& from, const QPointF& to) const
{
    PitchDistance result;
    if (!available()
        || measureDistance(engine, from.x(), from.y(), to.x(), to.y(), &result.metres,
               &result.sigmaMetres)
            != 0)
        return std::nullopt;
    return result;
}

double PitchMeasurer::clickSigma() const { return available() ? getClickSigma(engine) : 0.0; }

bool PitchMeasurer::setClickSigma(double sigmaPx) const
{
    return available() && setClickSigmaFn(engine, sigmaPx) == 0;
}
