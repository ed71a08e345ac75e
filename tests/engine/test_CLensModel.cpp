#include "pitch/CLensModel.h"

#include "LensWarp.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const cv::Size kPicture(3072, 1728);

CLensModel lensOf(double k1, double k2, double shiftX = 0.0, double shiftY = 0.0)
{
    const testclips::Lens generator { k1, k2, shiftX, shiftY };
    const auto lens = CLensModel::make(k1, k2, generator.centre(kPicture), kPicture);
    EXPECT_TRUE(lens) << k1 << " " << k2;
    return lens.value_or(CLensModel::pinhole(kPicture));
}

} // namespace

TEST(CLensModel, RecordedToIdealAndBackAcrossThePicture)
{
    for (const CLensModel& lens : { lensOf(0.3, 0.05, 0.1, -0.1), lensOf(0.12, 0.0),
             lensOf(-0.2, 0.0, -0.05, 0.08), lensOf(0.0, 0.04) }) {
        double worst = 0.0;
        for (int y = -200; y <= kPicture.height + 200; y += 97) {
            for (int x = -200; x <= kPicture.width + 200; x += 101) {
                const cv::Point2d recorded(x + 0.25, y - 0.5);
                const auto back = lens.distort(lens.undistort(recorded));
                ASSERT_TRUE(back) << recorded;
                worst = std::max(worst, cv::norm(*back - recorded));
            }
        }
        EXPECT_LT(worst, 1e-9) << "k1 " << lens.k1() << " k2 " << lens.k2();
    }
}

TEST(CLensModel, AgreesWithTheGeneratorsLens)
{
    const testclips::Lens generator { 0.25, 0.05, 0.08, -0.06 };
    const CLensModel lens = lensOf(0.25, 0.05, 0.08, -0.06);
    for (const cv::Point2d p : { cv::Point2d(0, 0), cv::Point2d(3071, 1727), cv::Point2d(900, 300),
             cv::Point2d(1600, 870) }) {
        EXPECT_LT(cv::norm(lens.undistort(p) - generator.undistort(p, kPicture)), 1e-9);
        EXPECT_LT(cv::norm(*lens.distort(p) - generator.distort(p, kPicture)), 1e-7);
    }
}

TEST(CLensModel, PinholeLeavesEveryPointUntouched)
{
    const CLensModel pinhole = CLensModel::pinhole(kPicture);
    EXPECT_TRUE(pinhole.isPinhole());
    EXPECT_EQ(pinhole.centre(), cv::Point2d(1535.5, 863.5));
    const auto lens = CLensModel::make(0.0, 0.0, cv::Point2d(10, 20), kPicture);
    ASSERT_TRUE(lens);
    for (const cv::Point2d p : { cv::Point2d(0.1f, 0.3f), cv::Point2d(-1e7, 5e6),
             cv::Point2d(1535.5, 863.5) }) {
        EXPECT_EQ(lens->undistort(p), p);
        EXPECT_EQ(*lens->distort(p), p);
    }
}

TEST(CLensModel, RefusesLensesItCannotInvert)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const cv::Point2d middle(1535.5, 863.5);
    struct Case
    {
        double k1, k2;
        cv::Point2d centre;
        const char* why;
    };
    for (const Case& c : { Case { kNaN, 0, middle, "k1 not finite" },
             Case { 0.1, std::numeric_limits<double>::infinity(), middle, "k2 not finite" },
             Case { 2.5, 0, middle, "|k1| > 2" }, Case { 0, -2.1, middle, "|k2| > 2" },
             Case { 0.1, 0, cv::Point2d(-1, 800), "centre left of the picture" },
             Case { 0.1, 0, cv::Point2d(1500, 1728), "centre below the picture" },
             Case { 0.1, 0, cv::Point2d(kNaN, 800), "centre not finite" },
             Case { -0.5, 0, middle, "stops growing before the corners" },
             Case { 0.0, -0.3, cv::Point2d(0, 0), "stops growing before the far corner" } }) {
        EXPECT_FALSE(CLensModel::make(c.k1, c.k2, c.centre, kPicture)) << c.why;
    }
    EXPECT_TRUE(CLensModel::make(-0.3, 0, middle, kPicture)) << "mild pincushion is fine";
    EXPECT_TRUE(CLensModel::make(2.0, 2.0, cv::Point2d(-0.5, 1727.5), kPicture));
}

TEST(CLensModel, DistortsNothingBeyondWhereTheModelGrows)
{
    const auto lens = CLensModel::make(-0.3, 0.0, cv::Point2d(1535.5, 863.5), kPicture);
    ASSERT_TRUE(lens);
    // rho (1 - 0.3 rho^2) peaks at rho = 1.054 with the value 0.703.
    const double unit = lens->unitRadius();
    EXPECT_TRUE(lens->distort(lens->centre() + cv::Point2d(0.69 * unit, 0)));
    EXPECT_FALSE(lens->distort(lens->centre() + cv::Point2d(0.71 * unit, 0)));
    EXPECT_FALSE(lens->distort(cv::Point2d(std::numeric_limits<double>::quiet_NaN(), 0)));
}
