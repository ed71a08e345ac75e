#pragma once

#include <opencv2/core.hpp>

#include <array>
#include <optional>
#include <vector>

// The pitch's real length and width implied by its painted markings, given
// the four picture corners. With the corners, every picture point maps to
// the unit square of the pitch (u along the bottom edge, v from the bottom
// edge to the top edge); the centre circle, 9.15 m in radius, becomes an
// ellipse round (0.5, 0.5) whose semi-axes are 9.15 m / width and
// 9.15 m / length. Penalty and goal areas, where they are visible, confirm
// and refine that estimate, or stand in for a circle that is not seen.
//
// Stateless; no lock of its own.
class CMarkingEstimator
{
public:
    // Corners in click order: top left, top right, bottom left, bottom right.
    using Corners = std::array<cv::Point2d, 4>;

    struct Dimensions
    {
        double length = 0.0; // bottom edge to top edge, metres
        double width = 0.0; // along the bottom edge, metres
    };

    static constexpr double kCentreCircleRadiusM = 9.15;

    CMarkingEstimator();
    virtual ~CMarkingEstimator();

    // Nothing when no marking is found (the centre circle and both boxes at
    // an end not visible or covered, a frame without a pitch), when the
    // boxes found without a circle disagree, or when the corners define no
    // perspective.
    // The centre circle has the given radius in metres; 0 when it is not
    // known, and only the penalty and goal areas can tell.
    std::optional<Dimensions> Estimate(const cv::Mat& bgr, const Corners& corners,
        double circleRadiusM = kCentreCircleRadiusM) const;

    // The radius in metres of the painted centre circle, with the pitch of
    // the given width (along the bottom edge) and length; nothing when no
    // circle round the pitch centre is painted, or it is not round with
    // these dimensions (corners or dimensions wrong).
    std::optional<double> CircleRadius(
        const cv::Mat& bgr, const Corners& corners, double widthM, double lengthM) const;

    // The perspective from picture to the unit square; nothing for corners
    // that define none.
    static std::optional<cv::Matx33d> PictureToUnitSquare(const Corners& corners);
    // Its inverse, signed so that the pitch centre lies in front of the
    // camera (w > 0 marks the visible side of the horizon).
    static std::optional<cv::Matx33d> UnitSquareToPicture(const Corners& corners);
    // The unit-square length of the larger of the picture's two pixel steps
    // at a unit-square point.
    static double UnitsPerPixelAt(const cv::Matx33d& pictureToUnit, cv::Point2d unit);

private:
    struct Ellipse
    {
        double a = 0.0; // 1 / semi-axis² along u
        double b = 0.0; // 1 / semi-axis² along v
    };

    std::optional<Ellipse> centreEllipse(const cv::Mat& bgr, const std::vector<cv::Point2d>& paint,
        const cv::Matx33d& pictureToUnit) const;
    std::optional<Dimensions> fromCentreCircle(const cv::Mat& bgr,
        const std::vector<cv::Point2d>& paint, const cv::Matx33d& pictureToUnit,
        double radiusM) const;
    std::optional<Ellipse> onRidgeCentres(
        const cv::Mat& bgr, const cv::Matx33d& pictureToUnit, Ellipse ellipse) const;
    std::optional<Ellipse> fitCentreEllipse(
        const std::vector<cv::Point2d>& points, double tolerance) const;
};
