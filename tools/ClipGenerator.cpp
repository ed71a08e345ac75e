#include "ClipGenerator.h"

#include "FfmpegPipe.h"
#include "PitchCamera.h"
#include "PitchPainter.h"
#include "PlayerPainter.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

namespace testclips {

namespace {

constexpr int kMinSidePx = 16;
constexpr int kMaxSidePx = 16384;
constexpr double kMaxFps = 1000.0;
constexpr int kMaxPlayers = 64;
constexpr double kMaxTilt = 1.0;
constexpr double kMaxPan = 0.5;
constexpr double kMaxRollDeg = 30.0;
constexpr double kMaxLineWidthPx = 16.0;

// The frame code: this many blocks across the full width, in a strip of this
// share of the height (inside the margin) at the top, most significant bit
// first. A block reads as 1 above kCodeThreshold.
constexpr int kCodeBits = 12;
constexpr double kCodeHeightFraction = 0.05;
constexpr double kCodeThreshold = 128.0;
constexpr double kCodeMargin = 64.0; // a clean block is this far from the threshold

bool finite(double v) { return std::isfinite(v); }

// Block `bit` of the frame code; the block's inner half is what is read, so
// that codec ringing at its edges does not matter.
cv::Rect codeBlock(cv::Size picture, int bit, bool inner)
{
    const int stripHeight = std::max(2, cvRound(picture.height * kCodeHeightFraction));
    const int x0 = picture.width * bit / kCodeBits;
    const int x1 = picture.width * (bit + 1) / kCodeBits;
    const cv::Rect whole(x0, 0, x1 - x0, stripHeight);
    if (!inner)
        return whole;
    return cv::Rect(whole.x + whole.width / 4, whole.y + whole.height / 4,
        std::max(1, whole.width / 2), std::max(1, whole.height / 2));
}

void drawFrameCode(cv::Mat& frame, const ClipSettings& clipSettings, int index)
{
    if (!clipSettings.frameCode)
        return;
    for (int bit = 0; bit < kCodeBits; ++bit) {
        const bool one = (index >> (kCodeBits - 1 - bit)) & 1;
        frame(codeBlock(frame.size(), bit, false)).setTo(cv::Scalar::all(one ? 255 : 0));
    }
}

std::string number(double v)
{
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

std::string number(float v)
{
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

std::string lowerExtension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(
        ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

// Encoder arguments for the container named by the extension.
bool codecArgs(
    const ClipSettings& s, const std::string& ext, std::vector<std::string>* args, std::string* error)
{
    if (ext == ".mkv") {
        // bgr0 keeps every BGR value: the clip decodes to exactly renderFrame.
        *args = { "-c:v", "ffv1", "-level", "3", "-pix_fmt", "bgr0", "-f", "matroska" };
    } else if (ext == ".avi") {
        *args = { "-c:v", "mjpeg", "-q:v", "2", "-pix_fmt", "yuvj420p", "-f", "avi" };
    } else if (ext == ".mp4") {
        if (!h264Available()) {
            *error = "the H.264 encoder (libx264) is not available to ffmpeg";
            return false;
        }
        // 4:2:0 needs even sizes; odd ones keep full chroma instead.
        const bool even = s.width % 2 == 0 && s.height % 2 == 0;
        *args = { "-c:v", "libx264", "-preset", "veryfast", "-crf", "16", "-pix_fmt",
            even ? "yuv420p" : "yuv444p", "-f", "mp4" };
        if (s.keyframeInterval > 0) {
            // A fixed interval: scene cuts must not add keyframes.
            const std::string interval = std::to_string(s.keyframeInterval);
            args->insert(
                args->end() - 2, { "-g", interval, "-keyint_min", interval, "-sc_threshold", "0" });
        }
    } else {
        *error = "unknown clip type '" + ext + "' (use .mkv, .avi or .mp4)";
        return false;
    }
    return true;
}

std::vector<std::string> ffmpegArgs(
    const ClipSettings& s, const std::vector<std::string>& codec, const std::string& path)
{
    std::vector<std::string> args { "-hide_banner", "-nostats", "-loglevel", "error", "-y", "-f",
        "rawvideo", "-pix_fmt", "bgr24", "-video_size",
        std::to_string(s.width) + "x" + std::to_string(s.height), "-framerate", number(s.fps), "-i",
        "pipe:0" };
    args.insert(args.end(), codec.begin(), codec.end());
    // The file: prefix keeps names with ':' or a leading '-' from being
    // read as protocols or options.
    args.push_back("file:" + std::filesystem::absolute(path).string());
    return args;
}

// The picture moved as a whole, by whole pixels, so that the shifted frames
// stay exact.
void shiftPicture(cv::Mat& frame, const ClipSettings& s, int index)
{
    if (index < s.shiftAtFrame || (s.shiftXPx == 0 && s.shiftYPx == 0))
        return;
    const cv::Matx23d move(1, 0, s.shiftXPx, 0, 1, s.shiftYPx);
    cv::Mat moved;
    cv::warpAffine(frame, moved, move, frame.size(), cv::INTER_NEAREST, cv::BORDER_CONSTANT,
        PitchPainter::surround(s));
    frame = moved;
}

// What happens to a drawn frame on its way out, in the camera's order: the
// knock moves the whole scene, the lens bends it, and the frame code is
// drawn on the finished picture where a reader finds it.
void finishFrame(cv::Mat& frame, const ClipSettings& clipSettings, int index)
{
    shiftPicture(frame, clipSettings, index);
    frame = warpThroughLens(frame, clipSettings.lens);
    drawFrameCode(frame, clipSettings, index);
}

bool encodeFrames(const ClipTruth& truth, FfmpegPipe& pipe)
{
    const cv::Mat pitch = PitchPainter(truth).render();
    const PlayerPainter players(truth);
    const std::size_t bytes = pitch.total() * pitch.elemSize();
    cv::Mat frame;
    for (int i = 0; i < truth.clipSettings.frames; ++i) {
        pitch.copyTo(frame);
        players.draw(frame, i);
        finishFrame(frame, truth.clipSettings, i);
        if (!pipe.write(frame.data, bytes))
            return false;
    }
    return true;
}

bool writeText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return bool(out);
}

bool fail(std::string* error, const std::string& text)
{
    if (error)
        *error = text;
    return false;
}

} // namespace

std::string specError(const ClipSettings& s)
{
    if (s.width < kMinSidePx || s.height < kMinSidePx || s.width > kMaxSidePx
        || s.height > kMaxSidePx)
        return "picture size " + std::to_string(s.width) + "x" + std::to_string(s.height)
            + " is outside 16x16 to 16384x16384";
    if (!finite(s.fps) || s.fps <= 0 || s.fps > kMaxFps)
        return "frame rate " + number(s.fps) + " is outside (0, 1000]";
    if (s.frames < 1)
        return "frame count " + std::to_string(s.frames) + " is below 1";
    if (!finite(s.fieldLength) || !finite(s.fieldWidth) || s.fieldLength <= 0 || s.fieldWidth <= 0)
        return "pitch length and width must be positive";
    if (!finite(s.radius) || s.radius < 0)
        return "radius must be zero or positive";
    if (s.players < 0 || s.players > kMaxPlayers)
        return "player count " + std::to_string(s.players) + " is outside 0 to 64";
    if (!finite(s.lineWidth) || s.lineWidth < 0)
        return "line width must be zero or positive";
    if (!finite(s.tilt) || s.tilt < 0 || s.tilt > kMaxTilt)
        return "tilt " + number(s.tilt) + " is outside 0 to 1";
    if (!finite(s.pan) || std::abs(s.pan) > kMaxPan)
        return "pan " + number(s.pan) + " is outside -0.5 to 0.5";
    if (!finite(s.rollDeg) || std::abs(s.rollDeg) > kMaxRollDeg)
        return "roll " + number(s.rollDeg) + " is outside -30 to 30 degrees";
    if (s.linePlayers < 0 || s.linePlayers > kMaxPlayers)
        return "line player count " + std::to_string(s.linePlayers) + " is outside 0 to 64";
    if (!finite(s.lineWidthPx) || s.lineWidthPx < 0 || s.lineWidthPx > kMaxLineWidthPx)
        return "line width " + number(s.lineWidthPx) + " px is outside 0 to 16";
    if (!finite(s.cameraHeightM) || !finite(s.cameraBackM) || s.cameraHeightM < 0
        || (s.cameraHeightM > 0 && s.cameraBackM < 0))
        return "the camera must stand at a height above 0 and not in front of the bottom edge";
    if (s.keyframeInterval < 0)
        return "keyframe interval " + std::to_string(s.keyframeInterval) + " is below 0";
    if (s.shiftAtFrame < 0 || std::abs(s.shiftXPx) >= s.width || std::abs(s.shiftYPx) >= s.height)
        return "the shift must start at a frame >= 0 and stay within the picture";
    if (s.frameCode && s.frames > (1 << kCodeBits))
        return "a frame code holds at most " + std::to_string(1 << kCodeBits) + " frames";
    return {};
}

ClipTruth truthFor(const ClipSettings& clipSettings)
{
    ClipTruth truth;
    truth.clipSettings = clipSettings;
    truth.corners = {};
    truth.homography = cv::Matx33d::eye();
    if (!specError(clipSettings).empty())
        return truth;
    return PitchCamera(clipSettings).truth();
}

cv::Mat renderFrame(const ClipSettings& clipSettings, int index)
{
    if (!specError(clipSettings).empty())
        return {};
    const ClipTruth truth = truthFor(clipSettings);
    cv::Mat frame = PitchPainter(truth).render();
    PlayerPainter(truth).draw(frame, index);
    finishFrame(frame, clipSettings, index);
    return frame;
}

bool writeClip(
    const ClipSettings& clipSettings, const std::string& path, std::string* error, bool writeJson)
{
    if (const std::string problem = specError(clipSettings); !problem.empty())
        return fail(error, problem);
    if (path.empty())
        return fail(error, "no output path given");
    std::vector<std::string> codec;
    std::string problem;
    if (!codecArgs(clipSettings, lowerExtension(path), &codec, &problem))
        return fail(error, problem);
    const std::filesystem::path target(path);
    std::error_code ec;
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ec);
    if (ec)
        return fail(error, "cannot create " + target.parent_path().string() + ": " + ec.message());

    FfmpegPipe pipe;
    if (!pipe.start(ffmpegArgs(clipSettings, codec, path), &problem))
        return fail(error, problem);
    const ClipTruth truth = truthFor(clipSettings);
    const bool fed = encodeFrames(truth, pipe);
    std::string output;
    if (!pipe.finish(&output) || !fed) {
        // Only a file ffmpeg left behind; never a folder that was given as the path.
        if (std::filesystem::is_regular_file(target, ec))
            std::filesystem::remove(target, ec);
        return fail(error, "could not write " + path + ": " + output);
    }
    if (writeJson) {
        const std::string jsonPath
            = std::filesystem::path(path).replace_extension(".json").string();
        if (!writeText(jsonPath, truthJson(truth)))
            return fail(error, "could not write " + jsonPath);
    }
    return true;
}

bool h264Available()
{
    static const bool available = [] {
        std::string output;
        return FfmpegPipe::run({ "-hide_banner", "-encoders" }, &output)
            && output.find(" libx264 ") != std::string::npos;
    }();
    return available;
}

int readFrameCode(const cv::Mat& bgr)
{
    if (bgr.empty() || bgr.type() != CV_8UC3)
        return -1;
    int index = 0;
    for (int bit = 0; bit < kCodeBits; ++bit) {
        const cv::Scalar mean = cv::mean(bgr(codeBlock(bgr.size(), bit, true)));
        const double level = (mean[0] + mean[1] + mean[2]) / 3.0;
        if (std::abs(level - kCodeThreshold) < kCodeMargin)
            return -1;
        index = index * 2 + (level > kCodeThreshold ? 1 : 0);
    }
    return index;
}

std::string truthJson(const ClipTruth& truth)
{
    const ClipSettings& s = truth.clipSettings;
    std::string j = "{\n";
    j += "  \"width\": " + std::to_string(s.width) + ",\n";
    j += "  \"height\": " + std::to_string(s.height) + ",\n";
    j += "  \"fps\": " + number(s.fps) + ",\n";
    j += "  \"frames\": " + std::to_string(s.frames) + ",\n";
    j += "  \"fieldLength\": " + number(s.fieldLength) + ",\n";
    j += "  \"fieldWidth\": " + number(s.fieldWidth) + ",\n";
    j += "  \"radius\": " + number(s.radius) + ",\n";
    j += "  \"players\": " + std::to_string(s.players) + ",\n";
    j += "  \"tilt\": " + number(s.tilt) + ",\n";
    j += "  \"seed\": " + std::to_string(s.seed) + ",\n";
    j += "  \"cornerOrder\": [\"top left\", \"top right\", \"bottom left\", \"bottom right\"],\n";
    j += "  \"corners\": [";
    for (std::size_t i = 0; i < truth.corners.size(); ++i)
        j += std::string(i ? ", " : "") + "[" + std::to_string(truth.corners[i].x) + ", "
            + std::to_string(truth.corners[i].y) + "]";
    j += "],\n";
    const cv::Point c = truth.centre();
    j += "  \"centre\": [" + std::to_string(c.x) + ", " + std::to_string(c.y) + "],\n";
    j += "  \"homography\": [";
    for (int r = 0; r < 3; ++r) {
        j += std::string(r ? ", " : "") + "[";
        for (int col = 0; col < 3; ++col)
            j += std::string(col ? ", " : "") + number(truth.homography(r, col));
        j += "]";
    }
    j += "]\n}\n";
    return j;
}

} // namespace testclips