#include "ClipGenerator.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using testclips::ClipSettings;

namespace {

fs::path scratchDir()
{
    const fs::path dir = fs::temp_directory_path() / ("clipgen-" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The numbers of a JSON array after "key": all of them, in order.
std::vector<double> jsonNumbers(const std::string& json, const std::string& key)
{
    std::vector<double> values;
    std::size_t at = json.find("\"" + key + "\": ");
    if (at == std::string::npos)
        return values;
    at += key.size() + 4;
    int depth = 0;
    std::istringstream in(json.substr(at));
    in.imbue(std::locale::classic());
    for (char c; in.get(c);) {
        if (c == '[')
            ++depth;
        else if (c == ']' && --depth <= 0)
            break;
        else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
            in.unget();
            double v;
            in >> v;
            values.push_back(v);
        }
        if (depth == 0 && c != ' ')
            break;
    }
    return values;
}

bool whiteWithinOnePixel(const cv::Mat& frame, cv::Point2d p)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const cv::Point q(cvRound(p.x) + dx, cvRound(p.y) + dy);
            if (cv::Rect(0, 0, frame.cols, frame.rows).contains(q)
                && frame.at<cv::Vec3b>(q) == cv::Vec3b(255, 255, 255))
                return true;
        }
    return false;
}

struct ClipCase
{
    int width, height, frames;
    double fps;
    const char* extension;
};

void PrintTo(const ClipCase& c, std::ostream* os)
{
    *os << c.width << "x" << c.height << " " << c.frames << " frames at " << c.fps << " fps "
        << c.extension;
}

std::string caseName(const testing::TestParamInfo<ClipCase>& info)
{
    return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) + "_"
        + (info.param.extension + 1);
}

class ClipFile : public testing::TestWithParam<ClipCase>
{
};

} // namespace

TEST_P(ClipFile, OpensWithSizeRateCountAndPixels)
{
    const ClipCase c = GetParam();
    if (std::string(c.extension) == ".mp4" && !testclips::h264Available())
        GTEST_SKIP() << "no H.264 encoder";
    ClipSettings clipSettings;
    clipSettings.width = c.width;
    clipSettings.height = c.height;
    clipSettings.frames = c.frames;
    clipSettings.fps = c.fps;
    const fs::path path = scratchDir() / (caseName({ c, 0 }) + c.extension);
    std::string error;
    ASSERT_TRUE(testclips::writeClip(clipSettings, path.string(), &error)) << error;

    cv::VideoCapture capture(path.string(), cv::CAP_FFMPEG);
    ASSERT_TRUE(capture.isOpened());
    EXPECT_EQ(capture.get(cv::CAP_PROP_FRAME_WIDTH), c.width);
    EXPECT_EQ(capture.get(cv::CAP_PROP_FRAME_HEIGHT), c.height);
    EXPECT_NEAR(capture.get(cv::CAP_PROP_FPS), c.fps, 0.01);
    EXPECT_EQ(capture.get(cv::CAP_PROP_FRAME_COUNT), c.frames);

    const bool lossless = std::string(c.extension) == ".mkv";
    int decoded = 0;
    for (cv::Mat frame; capture.read(frame); ++decoded) {
        const cv::Mat expected = testclips::renderFrame(clipSettings, decoded);
        ASSERT_EQ(frame.size(), expected.size());
        if (lossless)
            ASSERT_EQ(cv::norm(frame, expected, cv::NORM_INF), 0) << "frame " << decoded;
        else // lossy, but the same picture: catches swapped channels or shifted frames
            ASSERT_LT(cv::norm(frame, expected, cv::NORM_L1) / frame.total() / 3, 6.0)
                << "frame " << decoded;
    }
    EXPECT_EQ(decoded, c.frames);
    EXPECT_EQ(readFile(fs::path(path).replace_extension(".json")),
        testclips::truthJson(testclips::truthFor(clipSettings)));
    fs::remove_all(path.parent_path());
}

INSTANTIATE_TEST_SUITE_P(ClipGenerator, ClipFile,
    testing::Values(ClipCase { 64, 48, 6, 25.0, ".mkv" }, ClipCase { 64, 48, 6, 25.0, ".avi" },
        ClipCase { 64, 48, 6, 25.0, ".mp4" }, ClipCase { 642, 362, 4, 30.0, ".mkv" },
        ClipCase { 642, 362, 4, 30.0, ".mp4" }, ClipCase { 65, 49, 3, 25.0, ".mkv" },
        ClipCase { 65, 49, 3, 25.0, ".avi" }, ClipCase { 65, 49, 3, 25.0, ".mp4" },
        ClipCase { 1920, 1080, 2, 25.0, ".mkv" }),
    caseName);

TEST(ClipGenerator, PitchLinesLieOnTheHomography)
{
    struct Case
    {
        int width, height;
        double tilt;
        float length, fieldWidth;
        double pan = 0.0, rollDeg = 0.0;
    };
    for (const Case c : { Case { 64, 48, 0.5, 68, 105 }, Case { 320, 240, 0.0, 68, 105 },
             Case { 642, 362, 0.9, 68, 105 }, Case { 1920, 1080, 0.5, 100, 60 },
             Case { 300, 600, 0.3, 36, 27 }, Case { 640, 360, 0.6, 68, 105, 0.5, 12.0 },
             Case { 641, 361, 0.2, 68, 105, -0.3, -15.0 } }) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        ClipSettings clipSettings;
        clipSettings.width = c.width;
        clipSettings.height = c.height;
        clipSettings.tilt = c.tilt;
        clipSettings.fieldLength = c.length;
        clipSettings.fieldWidth = c.fieldWidth;
        clipSettings.pan = c.pan;
        clipSettings.rollDeg = c.rollDeg;
        clipSettings.players = 0;
        const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
        const cv::Mat frame = testclips::renderFrame(clipSettings, 0);

        // Click order, inside the frame, with surround visible on every side.
        const auto& k = truth.corners;
        EXPECT_TRUE(k[0].x < k[1].x && k[2].x < k[3].x && k[0].y < k[2].y && k[1].y < k[3].y);
        for (const cv::Point& p : k)
            EXPECT_TRUE(cv::Rect(1, 1, c.width - 2, c.height - 2).contains(p)) << p;
        const cv::Point2d real[4]
            = { { 0, c.length }, { c.fieldWidth, c.length }, { 0, 0 }, { c.fieldWidth, 0 } };
        for (int i = 0; i < 4; ++i)
            EXPECT_LT(cv::norm(truth.toPicture(real[i].x, real[i].y) - cv::Point2d(k[i])), 1e-6);

        // Outline, middle line and circle are white where the homography puts them.
        for (double t = 0; t <= 1.0; t += 1.0 / 16) {
            const double x = t * c.fieldWidth, y = t * c.length;
            for (const cv::Point2d p :
                { truth.toPicture(x, 0), truth.toPicture(x, c.length), truth.toPicture(0, y),
                    truth.toPicture(c.fieldWidth, y), truth.toPicture(x, c.length / 2) })
                EXPECT_TRUE(whiteWithinOnePixel(frame, p)) << p;
            const double a = 2 * CV_PI * t;
            const cv::Point2d onCircle
                = truth.toPicture(c.fieldWidth / 2 + clipSettings.radius * std::cos(a),
                    c.length / 2 + clipSettings.radius * std::sin(a));
            EXPECT_TRUE(whiteWithinOnePixel(frame, onCircle)) << onCircle;
        }
        EXPECT_TRUE(whiteWithinOnePixel(frame, truth.centre()));
        // The surround outside the pitch is not grass.
        EXPECT_NE(frame.at<cv::Vec3b>(0, 0), frame.at<cv::Vec3b>(truth.centre() + cv::Point(0, 3)));
    }
}

TEST(ClipGenerator, PlayersMoveDeterministically)
{
    ClipSettings clipSettings;
    clipSettings.players = 5;
    const cv::Mat first = testclips::renderFrame(clipSettings, 0);
    EXPECT_EQ(cv::norm(first, testclips::renderFrame(clipSettings, 0), cv::NORM_INF), 0);

    // Later frames differ only where players are: a small share of the picture.
    cv::Mat diff;
    cv::absdiff(first, testclips::renderFrame(clipSettings, 25), diff);
    cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
    const int changed = cv::countNonZero(diff);
    EXPECT_GT(changed, 0);
    EXPECT_LT(changed, int(first.total() / 20));

    ClipSettings other = clipSettings;
    other.seed = 2;
    EXPECT_GT(cv::norm(first, testclips::renderFrame(other, 0), cv::NORM_INF), 0);

    clipSettings.players = 0;
    EXPECT_EQ(
        cv::norm(testclips::renderFrame(clipSettings, 0), testclips::renderFrame(clipSettings, 9), cv::NORM_INF),
        0);
}

// A knocked camera: the same picture, moved as a whole from its frame on.
TEST(ClipGenerator, ShiftMovesTheWholePictureFromItsFrameOn)
{
    ClipSettings still;
    still.players = 3;
    ClipSettings knocked = still;
    knocked.shiftAtFrame = 3;
    knocked.shiftXPx = 4;
    knocked.shiftYPx = -2;
    EXPECT_EQ(cv::norm(testclips::renderFrame(knocked, 2), testclips::renderFrame(still, 2),
                  cv::NORM_INF),
        0);
    const cv::Mat moved = testclips::renderFrame(knocked, 3);
    const cv::Rect kept(0, 2, still.width - 4, still.height - 2);
    EXPECT_EQ(cv::norm(moved(kept + cv::Point(4, -2)), testclips::renderFrame(still, 3)(kept),
                  cv::NORM_INF),
        0);
}

TEST(ClipGenerator, JsonHoldsTheTruth)
{
    ClipSettings clipSettings;
    clipSettings.width = 642;
    clipSettings.height = 362;
    clipSettings.fps = 29.97;
    clipSettings.frames = 7;
    clipSettings.fieldLength = 100.5f;
    clipSettings.fieldWidth = 64.f;
    clipSettings.radius = 9.15f;
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    const std::string json = testclips::truthJson(truth);

    EXPECT_EQ(jsonNumbers(json, "width"), std::vector<double> { 642 });
    EXPECT_EQ(jsonNumbers(json, "height"), std::vector<double> { 362 });
    EXPECT_EQ(jsonNumbers(json, "fps"), std::vector<double> { 29.97 });
    EXPECT_EQ(jsonNumbers(json, "frames"), std::vector<double> { 7 });
    EXPECT_EQ(jsonNumbers(json, "fieldLength"), std::vector<double> { 100.5 });
    EXPECT_EQ(jsonNumbers(json, "fieldWidth"), std::vector<double> { 64 });
    EXPECT_FLOAT_EQ(float(jsonNumbers(json, "radius").at(0)), 9.15f);
    std::vector<double> corners;
    for (const cv::Point& p : truth.corners)
        corners.insert(corners.end(), { double(p.x), double(p.y) });
    EXPECT_EQ(jsonNumbers(json, "corners"), corners);
    const std::vector<double> h = jsonNumbers(json, "homography");
    ASSERT_EQ(h.size(), 9u);
    for (int i = 0; i < 9; ++i)
        EXPECT_DOUBLE_EQ(h[i], truth.homography(i / 3, i % 3)) << i;
}

TEST(ClipGenerator, FailuresAreReportedAndLeaveNoClip)
{
    const fs::path dir = scratchDir();
    const auto bad = [](auto change) {
        ClipSettings s;
        change(s);
        return s;
    };
    const struct
    {
        ClipSettings clipSettings;
        std::string path;
    } cases[] = {
        { bad([](ClipSettings& s) { s.width = 8; }), "small.mkv" },
        { bad([](ClipSettings& s) { s.fps = 0; }), "fps.mkv" },
        { bad([](ClipSettings& s) { s.frames = 0; }), "frames.mkv" },
        { bad([](ClipSettings& s) { s.fieldLength = NAN; }), "length.mkv" },
        { bad([](ClipSettings& s) { s.fieldWidth = -1; }), "width.mkv" },
        { bad([](ClipSettings& s) { s.tilt = 1.5; }), "tilt.mkv" },
        { bad([](ClipSettings& s) { s.players = -1; }), "players.mkv" },
        { ClipSettings {}, "clip.webm" },
        { ClipSettings {}, "" },
        { ClipSettings {}, "/proc/no/such/dir/clip.mkv" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string path
            = c.path.empty() || c.path[0] == '/' ? c.path : (dir / c.path).string();
        std::string error;
        EXPECT_FALSE(testclips::writeClip(c.clipSettings, path, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(!path.empty() && fs::exists(path));
        EXPECT_FALSE(!path.empty() && fs::exists(fs::path(path).replace_extension(".json")));
    }
    EXPECT_TRUE(testclips::renderFrame(cases[0].clipSettings, 0).empty());

    // ffmpeg itself fails: the path names an existing folder, which stays.
    const fs::path folder = dir / "folder.mkv";
    fs::create_directories(folder);
    std::string error;
    EXPECT_FALSE(testclips::writeClip(ClipSettings {}, folder.string(), &error));
    EXPECT_NE(error.find("could not write"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(folder));
    fs::remove_all(dir);
}

TEST(ClipGenerator, ReportsMissingFfmpeg)
{
    const char* saved = std::getenv("PATH");
    const std::string path = saved ? saved : "";
    setenv("PATH", "/nonexistent", 1);
    std::string error;
    const fs::path clip = scratchDir() / "noffmpeg.mkv";
    const bool written = testclips::writeClip(ClipSettings {}, clip.string(), &error);
    setenv("PATH", path.c_str(), 1);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("ffmpeg"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(clip));
    fs::remove_all(clip.parent_path());
}
