#pragma once

#include <opencv2/core.hpp>

#include <optional>

// Radial lens distortion about a centre c in picture pixels. A point d as
// the camera recorded it corresponds to the ideal (pinhole) point
//     u = c + (d - c) (1 + k1 rho^2 + k2 rho^4),
// rho = |d - c| over half the picture diagonal. Barrel distortion has
// k1 > 0. With k1 = k2 = 0 (the pinhole camera) both directions return the
// point they are given, unchanged to the last bit.
//
// Every path that takes a host's picture point to the pitch undistorts it
// here, and every path that draws or reports a projected point distorts it
// here, so the whole engine shares one lens.
//
// A value object: immutable once made.
class CLensModel
{
public:
    static constexpr double kMaxCoefficient = 2.0;

    // The pinhole camera for a picture of the given size (centre in the
    // middle of the picture).
    static CLensModel pinhole(cv::Size picture);
    // Empty when the values are not accepted: not finite, |k1| or |k2| above
    // kMaxCoefficient, the centre outside the picture, or a model that stops
    // growing with rho before the picture corner farthest from the centre
    // (it would then map two recorded points onto one ideal point).
    static std::optional<CLensModel> make(
        double k1, double k2, cv::Point2d centre, cv::Size picture);

    // Any coefficients, unchecked: for a fit that tries values on its way.
    static CLensModel unchecked(double k1, double k2, cv::Point2d centre, cv::Size picture)
    {
        return CLensModel(k1, k2, centre, picture);
    }

    CLensModel() = default;

    double k1() const { return coefficient1; }
    double k2() const { return coefficient2; }
    cv::Point2d centre() const { return middle; }
    cv::Size pictureSize() const { return picture; }
    bool isPinhole() const { return coefficient1 == 0.0 && coefficient2 == 0.0; }

    // The ideal point of a recorded one.
    cv::Point2d undistort(cv::Point2d recorded) const;
    // The recorded point of an ideal one, by inverting the radial
    // polynomial numerically; empty when no recorded point within the range
    // where the model grows maps there (only far outside the picture) or the
    // point is not finite.
    std::optional<cv::Point2d> distort(cv::Point2d ideal) const;

    // The picture an ideal (pinhole) camera of the same size and position
    // would have recorded: pixel u shows what the frame shows at
    // distort(u). The picture aids that assume straight lines look at it.
    // Returns the frame itself for the pinhole camera.
    cv::Mat undistortPicture(const cv::Mat& recorded) const;

    // The scale factor 1 + k1 rho^2 + k2 rho^4 at a normalised radius.
    double factor(double rho) const;
    // Half the picture diagonal: the pixel length of rho = 1.
    double unitRadius() const { return unit; }

private:
    CLensModel(double k1, double k2, cv::Point2d centre, cv::Size picture);
    // The normalised recorded radius whose image is rhoIdeal.
    std::optional<double> recordedRadius(double rhoIdeal) const;

    double coefficient1 = 0.0;
    double coefficient2 = 0.0;
    cv::Point2d middle;
    cv::Size picture;
    double unit = 1.0;
    // Where rho (1 + k1 rho^2 + k2 rho^4) stops growing; infinite when it
    // never does.
    double growthLimit = 0.0;
};
