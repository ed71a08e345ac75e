#include "tracking/CPlayerShape.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kStepM = 0.5; // for the local derivative of the mapping

} // namespace

std::optional<CPlayerShape> CPlayerShape::at(const CPitchGeometry& geometry, cv::Point2d pitch)
{
    const auto foot = geometry.toPicture(pitch);
    const auto alongX = geometry.toPicture(pitch + cv::Point2d(kStepM, 0));
    const auto alongY = geometry.toPicture(pitch + cv::Point2d(0, kStepM));
    if (!foot || !alongX || !alongY)
        return std::nullopt;
    const cv::Point2d dx = (*alongX - *foot) / kStepM, dy = (*alongY - *foot) / kStepM;
    // The ground's local ellipse: the eigen-axes of J J^T.
    const cv::Matx22d jjt(dx.x * dx.x + dy.x * dy.x, dx.x * dx.y + dy.x * dy.y,
        dx.x * dx.y + dy.x * dy.y, dx.y * dx.y + dy.y * dy.y);
    cv::Matx21d values;
    cv::Matx22d vectors;
    cv::eigen(jjt, values, vectors); // descending
    CPlayerShape shape;
    shape.foot = *foot;
    shape.pxPerMetre = std::sqrt(std::max(values(0), 0.0));
    if (!(shape.pxPerMetre > 0))
        return std::nullopt;
    const double ratio = std::min(1.0, std::sqrt(std::max(values(1), 0.0)) / shape.pxPerMetre);
    shape.upright = std::sqrt(std::max(0.0, 1.0 - ratio * ratio));
    shape.upUnit = cv::Point2d(vectors(1, 0), vectors(1, 1));
    if (shape.upUnit.y > 0)
        shape.upUnit = -shape.upUnit;
    shape.heightPx = kBodyHeightM * shape.pxPerMetre * shape.upright;
    shape.radiusPx = kBodyWidthM / 2 * shape.pxPerMetre;
    return shape;
}
