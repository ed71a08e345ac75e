#pragma once

#include "ClipGenerator.h"

#include <ostream>
#include <string>
#include <vector>

// Generated views of pitches as users' cameras show them: lines 1 to 12 px
// wide, grass, a dark run-off, a red track or a wall beyond the outer lines,
// low and high cameras, small-sided pitches with their own circle and
// pitches without penalty areas. The calibration helpers are tried on all
// of them.
namespace calibrationtest {

struct PitchView
{
    std::string name;
    testclips::ClipSettings clipSettings;
    // How far a snap may land from the crossing.
    double snapTolerancePx = 1.0;
    // How far off the dimension estimate may be, as a share.
    double estimateShare = 0.03;
    // The fit a corner 8 px off, or dimensions 15 % wrong, must exceed.
    double wrongFitPx = 3.0;
};

// Rows print as their names.
inline void PrintTo(const PitchView& view, std::ostream* out) { *out << view.name; }

inline testclips::ClipSettings viewPlan(int width, int height, float lineWidthPx,
    testclips::ClipSettings::Surround surround, float lengthM = 105.f, float widthM = 68.f)
{
    testclips::ClipSettings s;
    s.width = width;
    s.height = height;
    s.players = 0;
    s.fieldLength = lengthM;
    s.fieldWidth = widthM;
    s.lineWidthPx = lineWidthPx;
    s.surround = surround;
    s.penaltyAreas = true;
    return s;
}

inline std::vector<PitchView> pitchViews()
{
    using Surround = testclips::ClipSettings::Surround;
    std::vector<PitchView> views;
    const auto add = [&](std::string name, testclips::ClipSettings s, double snapPx = 1.0,
                         double estimateShare = 0.03, double wrongFitPx = 3.0) {
        views.push_back({ std::move(name), s, snapPx, estimateShare, wrongFitPx });
    };
    testclips::ClipSettings s = viewPlan(640, 480, 1.5f, Surround::Grass);
    s.tilt = 0.5;
    add("Thin640Grass", s);
    s = viewPlan(1920, 1080, 5.f, Surround::RunOff);
    s.tilt = 0.5;
    add("Wide1080RunOff", s);
    s = viewPlan(1920, 1080, 10.f, Surround::Track);
    s.tilt = 0.3;
    s.pan = 0.15;
    add("Thick1080Track", s);
    s = viewPlan(1920, 1080, 12.f, Surround::Wall);
    s.tilt = 0.6;
    add("Thickest1080Wall", s);
    s = viewPlan(1280, 720, 3.f, Surround::RunOff, 60.f, 40.f);
    s.cameraHeightM = 7.0;
    s.cameraBackM = 8.0;
    s.radius = 5.f;
    s.penaltyAreas = false;
    add("LowCamera720", s);
    s = viewPlan(1280, 720, 4.f, Surround::Grass);
    s.cameraHeightM = 30.0;
    s.cameraBackM = 20.0;
    add("HighCamera720", s);
    s = viewPlan(1280, 720, 3.f, Surround::Track, 32.f, 50.f);
    s.tilt = 0.4;
    s.radius = 5.f;
    s.penaltyAreas = false;
    add("SmallSided720", s);
    s = viewPlan(640, 480, 2.f, Surround::Grass);
    s.tilt = 0.5;
    s.penaltyAreas = false;
    add("CircleOnly640", s);
    s = viewPlan(1920, 1080, 5.f, Surround::RunOff);
    s.tilt = 0.5;
    s.penaltyAreas = false;
    add("CircleOnly1080", s);
    return views;
}

inline std::string viewName(const PitchView& view) { return view.name; }

} // namespace calibrationtest
