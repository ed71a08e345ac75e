#pragma once

#include <QPointF>

#include <functional>
#include <optional>

class VistrelInterface;

// A distance on the pitch in metres and its standard deviation under the
// engine's click-error model.
struct PitchDistance
{
    double metres = 0.0;
    double sigmaMetres = 0.0;
};

// The program's access to the engine's measuring functions (plain C functions
// beside the 85-slot interface, looked up by name in the engine library).
// Without them (an older library, a test double) every query answers
// "nothing", so callers degrade instead of crashing.
class PitchMeasurer
{
public:
    // Looks a C function of the engine library up by name; null when absent.
    using Resolver = std::function<void*(const char* name)>;

    PitchMeasurer(VistrelInterface* engine, const Resolver& resolve);

    bool available() const;
    // Pitch metres of a picture point (video pixels); nothing when the pitch
    // is not calibrated or the point lies beyond the horizon.
    std::optional<QPointF> toPitch(const QPointF& picture) const;
    // The picture point (video pixels) of a pitch position in metres, through
    // the engine's camera model (a lens included); nothing when not calibrated
    // or the position lies behind the camera.
    std::optional<QPointF> toPicture(const QPointF& pitch) const;
    std::optional<PitchDistance> distance(const QPointF& from, const QPointF& to) const;
    double clickSigma() const;
    bool setClickSigma(double sigmaPx) const;

private:
    using ToPitchFn = int (*)(VistrelInterface*, double, double, double*, double*);
    using MeasureFn = int (*)(VistrelInterface*, double, double, double, double, double*, double*);
    using GetSigmaFn = double (*)(VistrelInterface*);
    using SetSigmaFn = int (*)(VistrelInterface*, double);

    VistrelInterface* engine = nullptr;
    ToPitchFn pictureToPitch = nullptr;
    ToPitchFn pitchToPicture = nullptr;
    MeasureFn measureDistance = nullptr;
    GetSigmaFn getClickSigma = nullptr;
    SetSigmaFn setClickSigmaFn = nullptr;
};
