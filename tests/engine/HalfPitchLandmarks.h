#pragma once

#include "pitch/CLensEstimator.h"
#include "pitch/CLineFinder.h"
#include "pitch/CPitchGeometry.h"
#include "pitch/CPointCalibration.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

// Painted landmarks read by eye off frame 0 of the half-pitch clips of the
// media folder (3072 x 1728), about +-2 px where two lines cross and +-4 px
// for spots. Pitch metres as the engine takes them for the half in view,
// calibrated as a 52.5 x 68 m pitch (the other half's corners lie behind
// these cameras): x along the near touchline from the left end of the half
// (the goal line, or the halfway line), y from the near touchline towards
// the far one.
namespace halfpitch {

struct Landmark
{
    const char* name;
    cv::Point2d pitch;
    cv::Point2d picture;
    // Used to calibrate; the others are held out to check the calibration.
    bool calibrates;
};

struct Clip
{
    std::string file;
    std::vector<Landmark> landmarks;
    // Pitch end points of the long straight painted lines in view.
    std::vector<std::pair<cv::Point2d, cv::Point2d>> lines;
    double width = 52.5;
    double length = 68.0;
};

inline const Clip& leftHalf()
{
    static const Clip clip { "soccer_fixedcam_lefthalf_3072x1728_hevc.mp4",
        {
            { "far-left corner", { 0, 68 }, { 1586, 788 }, true },
            { "near-left corner", { 0, 0 }, { 126, 1141 }, true },
            { "halfway line, far end", { 52.5, 68 }, { 2769, 746 }, true },
            { "halfway line, near end", { 52.5, 0 }, { 2873, 1571.5 }, true },
            { "penalty area, near side on the goal line", { 0, 13.84 }, { 561, 1031 }, true },
            { "penalty area, near front corner", { 16.5, 13.84 }, { 940.5, 1054 }, true },
            { "penalty area, far front corner", { 16.5, 54.16 }, { 1774, 812.5 }, true },
            { "penalty area, far side on the goal line", { 0, 54.16 }, { 1420, 828 }, true },
            { "goal area, near side on the goal line", { 0, 24.84 }, { 859.5, 958.75 }, false },
            { "goal area, near front corner", { 5.5, 24.84 }, { 972, 960 }, false },
            { "goal area, far front corner", { 5.5, 43.16 }, { 1350.5, 865 }, false },
            { "centre circle on the halfway line, far", { 52.5, 43.15 }, { 2788, 827.5 }, false },
            { "centre circle on the halfway line, near", { 52.5, 24.85 }, { 2810, 953 }, false },
            { "centre spot", { 52.5, 34 }, { 2800, 876 }, false },
        },
        {
            { { 0, 0 }, { 52.5, 0 } }, // near touchline
            { { 0, 68 }, { 52.5, 68 } }, // far touchline
            { { 0, 0 }, { 0, 68 } }, // goal line
            { { 52.5, 0 }, { 52.5, 68 } }, // halfway line
            { { 16.5, 13.84 }, { 16.5, 54.16 } }, // penalty area front
            { { 0, 13.84 }, { 16.5, 13.84 } }, // penalty area sides
            { { 0, 54.16 }, { 16.5, 54.16 } },
        } };
    return clip;
}

inline const Clip& rightHalf()
{
    static const Clip clip { "soccer_fixedcam_righthalf_3072x1728_hevc.mp4",
        {
            { "halfway line, far end", { 0, 68 }, { 400, 737 }, true },
            { "far-right corner", { 52.5, 68 }, { 1565, 769 }, true },
            { "halfway line, near end", { 0, 0 }, { 531, 1555 }, true },
            { "near-right corner", { 52.5, 0 }, { 3011, 1095 }, true },
            { "penalty area, far side on the goal line", { 52.5, 54.16 }, { 1730, 805.5 }, true },
            { "penalty area, far front corner", { 36, 54.16 }, { 1392, 796 }, true },
            { "penalty area, near front corner", { 36, 13.84 }, { 2240, 1021 }, true },
            { "penalty area, near side on the goal line", { 52.5, 13.84 }, { 2585, 996 }, true },
            { "centre circle on the halfway line, far", { 0, 43.15 }, { 408, 822.5 }, false },
            { "centre spot", { 0, 34 }, { 414, 869.5 }, false },
            { "centre circle on the halfway line, near", { 0, 24.85 }, { 424, 945 }, false },
        },
        {
            { { 0, 0 }, { 52.5, 0 } }, // near touchline
            { { 0, 68 }, { 52.5, 68 } }, // far touchline
            { { 52.5, 0 }, { 52.5, 68 } }, // goal line
            { { 0, 0 }, { 0, 68 } }, // halfway line
        } };
    return clip;
}

// How well a lens and a calibration from the calibrating landmarks fit a
// clip's frame.
struct Figures
{
    double calibrationRmsPx = 0.0;
    // Held-out landmarks: distances between the projected and the painted
    // position, in pixels, and in metres on the pitch.
    std::vector<double> heldOutPx;
    std::vector<double> heldOutMetres;
    // Per long line: the paint found along it, how far it runs (RMS) from
    // the straight pitch line through it taken back into the picture through
    // the lens, and how far its middle lies off the straight line between
    // its ends in the picture.
    std::vector<CLensEstimator::Chain> paint;
    std::vector<double> lineRmsPx;
    std::vector<double> chordOffsetPx;
};

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// The paint of a pitch line, searched across the line as `geometry` draws it.
inline CLensEstimator::Chain paintAlong(const cv::Mat& ridge, const CPitchGeometry& geometry,
    cv::Point2d from, cv::Point2d to)
{
    CLensEstimator::Chain paint;
    constexpr int kSamples = 300;
    for (int i = 6; i <= kSamples - 6; ++i) {
        const auto p = geometry.toPicture(from + (to - from) * (i / double(kSamples)));
        const auto q = geometry.toPicture(from + (to - from) * ((i + 0.5) / double(kSamples)));
        if (!p || !q || cv::norm(*q - *p) == 0.0)
            continue;
        const cv::Point2d along = (*q - *p) * (1.0 / cv::norm(*q - *p));
        const cv::Point2d normal(-along.y, along.x);
        if (const auto shift = CLineFinder::RidgeOffset(ridge, *p, normal, 8.0))
            paint.push_back(*p + normal * *shift);
    }
    return paint;
}

inline std::optional<Figures> measure(const Clip& clip, const cv::Mat& frame, const CLensModel& lens)
{
    std::vector<cv::Point2d> picture, pitch;
    for (const Landmark& l : clip.landmarks) {
        if (l.calibrates) {
            picture.push_back(l.picture);
            pitch.push_back(l.pitch);
        }
    }
    const auto fit = CPointCalibration::Fit(picture, pitch, lens, clip.width, clip.length);
    if (!fit)
        return std::nullopt;
    const auto geometry = CPitchGeometry::fromCorners(fit->idealCorners, clip.width, clip.length, lens);
    if (!geometry)
        return std::nullopt;
    Figures figures;
    figures.calibrationRmsPx = fit->rmsPx;
    for (const Landmark& l : clip.landmarks) {
        if (l.calibrates)
            continue;
        const auto drawn = geometry->toPicture(l.pitch);
        const auto onPitch = geometry->toPitch(l.picture);
        figures.heldOutPx.push_back(drawn ? cv::norm(*drawn - l.picture) : 1e9);
        figures.heldOutMetres.push_back(onPitch ? cv::norm(*onPitch - l.pitch) : 1e9);
    }
    const cv::Mat ridge = CLineFinder::RidgeImage(frame);
    for (const auto& [from, to] : clip.lines) {
        CLensEstimator::Chain paint = paintAlong(ridge, *geometry, from, to);
        double offset = 0.0;
        if (paint.size() >= 2) {
            const cv::Point2d a = paint.front(), b = paint.back();
            const cv::Point2d n = cv::Point2d(a.y - b.y, b.x - a.x) * (1.0 / cv::norm(b - a));
            for (const cv::Point2d& p : paint)
                offset = std::max(offset, std::abs((p - a).dot(n)));
        }
        figures.lineRmsPx.push_back(
            paint.size() >= 2 ? CLensEstimator::Straightness({ paint }, lens) : 1e9);
        figures.chordOffsetPx.push_back(offset);
        figures.paint.push_back(std::move(paint));
    }
    return figures;
}

} // namespace halfpitch
