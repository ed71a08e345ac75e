#include "pitch/CPointCalibration.h"

#include "pitch/CPitchGeometry.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const cv::Size kPicture(1920, 1080);
// A camera looking at the left half of a 105 x 68 m pitch: the far corners
// of the right half lie outside the picture.
const cv::Matx33d kPictureFromPitch(
    28.0, 6.0, 120.0, 0.0, -9.0, 980.0, 0.0, 0.012, 1.0);

cv::Point2d project(const cv::Matx33d& h, cv::Point2d p)
{
    const cv::Vec3d v = h * cv::Vec3d(p.x, p.y, 1.0);
    return { v[0] / v[2], v[1] / v[2] };
}

} // namespace

TEST(CPointCalibration, FourCornersGiveTheFourCornerCalibration)
{
    const std::vector<cv::Point2d> pitch { { 0, 68 }, { 105, 68 }, { 0, 0 }, { 105, 0 } };
    const std::vector<cv::Point2d> picture { { 410, 212 }, { 1530, 230 }, { 95, 960 },
        { 1800, 1010 } };
    const auto fit = CPointCalibration::Fit(picture, pitch, CLensModel(), 105, 68);
    ASSERT_TRUE(fit);
    EXPECT_LT(fit->rmsPx, 1e-6);
    for (int i = 0; i < 4; ++i)
        EXPECT_LT(cv::norm(fit->idealCorners[i] - picture[i]), 1e-6) << i;
    const auto clicked = CPitchGeometry::fromCorners(
        { picture[0], picture[1], picture[2], picture[3] }, 105, 68);
    const auto fitted = CPitchGeometry::fromCorners(fit->idealCorners, 105, 68);
    ASSERT_TRUE(clicked && fitted);
    for (const cv::Point2d p : { cv::Point2d(600, 500), cv::Point2d(1700, 300) })
        EXPECT_LT(cv::norm(*clicked->toPitch(p) - *fitted->toPitch(p)), 1e-9);
}

TEST(CPointCalibration, LandmarksOfOneHalfThroughALens)
{
    const auto lens = CLensModel::make(0.2, 0.03, cv::Point2d(1000, 520), kPicture);
    ASSERT_TRUE(lens);
    const std::vector<cv::Point2d> pitch { { 0, 0 }, { 0, 68 }, { 52.5, 0 }, { 52.5, 68 },
        { 16.5, 13.84 }, { 16.5, 54.16 }, { 5.5, 24.84 }, { 5.5, 43.16 }, { 11, 34 },
        { 52.5, 34 } };
    std::vector<cv::Point2d> picture;
    for (const cv::Point2d& p : pitch)
        picture.push_back(*lens->distort(project(kPictureFromPitch, p)));
    const auto fit = CPointCalibration::Fit(picture, pitch, *lens, 105, 68);
    ASSERT_TRUE(fit);
    EXPECT_LT(fit->rmsPx, 1e-3);
    const cv::Point2d corners[4] = { { 0, 68 }, { 105, 68 }, { 0, 0 }, { 105, 0 } };
    for (int i = 0; i < 4; ++i) {
        const cv::Point2d expected = project(kPictureFromPitch, corners[i]);
        EXPECT_LT(cv::norm(fit->idealCorners[i] - expected), 1e-5 * cv::norm(expected)) << i;
    }
    EXPECT_GT(fit->idealCorners[3].x, kPicture.width) << "a corner outside the picture";
}

TEST(CPointCalibration, RefusesPointsThatDefineNoCalibration)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const std::vector<cv::Point2d> pitch { { 0, 0 }, { 0, 68 }, { 52.5, 0 }, { 52.5, 68 },
        { 11, 34 } };
    std::vector<cv::Point2d> picture;
    for (const cv::Point2d& p : pitch)
        picture.push_back(project(kPictureFromPitch, p));
    const auto fits = [](const std::vector<cv::Point2d>& a, const std::vector<cv::Point2d>& b,
                          double width = 105.0) {
        return CPointCalibration::Fit(a, b, CLensModel(), width, 68).has_value();
    };
    EXPECT_TRUE(fits(picture, pitch));
    const std::vector<cv::Point2d> three(picture.begin(), picture.begin() + 3);
    EXPECT_FALSE(fits(three, { pitch.begin(), pitch.begin() + 3 })) << "fewer than four";
    EXPECT_FALSE(fits(picture, three)) << "different counts";
    auto broken = picture;
    broken[2].y = kNaN;
    EXPECT_FALSE(fits(broken, pitch)) << "not finite";
    EXPECT_FALSE(fits(picture, pitch, 0.0)) << "no width";
    const std::vector<cv::Point2d> onOneLine { { 0, 0 }, { 0, 20 }, { 0, 40 }, { 0, 68 },
        { 11, 34 } };
    EXPECT_FALSE(fits(picture, onOneLine)) << "four on a line leave no four in general position";
    // A horizon across the pitch: the camera cannot see corner (105, 0).
    const cv::Matx33d steep(28.0, 6.0, 120.0, 0.0, -9.0, 980.0, -0.0125, 0.0, 1.0);
    std::vector<cv::Point2d> seen;
    for (const cv::Point2d& p : pitch)
        seen.push_back(project(steep, p));
    EXPECT_FALSE(fits(seen, pitch)) << "a pitch corner beyond the horizon";
}
