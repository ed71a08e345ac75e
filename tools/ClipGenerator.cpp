#include "ClipGenerator.h"

#include "FfmpegPipe.h"
#include "PlayerSprite.h"

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

// Share of each picture side kept free around the pitch so that some
// surround is always visible.
constexpr double kMarginFraction = 0.08;
// At full tilt the far (top) edge is this much narrower than the near one
// and the pitch this much flatter than seen from above. Flattening more
// than narrowing keeps a circle near the camera wider than tall, as a
// real camera above the pitch sees it.
constexpr double kTopNarrowing = 0.55;
constexpr double kDepthFlattening = 0.65;

constexpr int kShiftBits = 4; // sub-pixel precision of all drawing
constexpr double kShiftScale = 1 << kShiftBits;
constexpr int kStripes = 12;
constexpr int kCircleSamples = 720;
constexpr double kLineWidthPerPx = 1.0 / 200.0; // of the shorter picture side

// The frame code: this many blocks across the full width, in a strip of this
// share of the height (inside the margin) at the top, most significant bit
// first. A block reads as 1 above kCodeThreshold.
constexpr int kCodeBits = 12;
constexpr double kCodeHeightFraction = 0.05;
constexpr double kCodeThreshold = 128.0;
constexpr double kCodeMargin = 64.0; // a clean block is this far from the threshold

// Markings fixed by the laws of the game, in metres.
constexpr double kPenaltyDepthM = 16.5;
constexpr double kPenaltyWidthM = 40.32;
constexpr double kGoalAreaDepthM = 5.5;
constexpr double kGoalAreaWidthM = 18.32;

const cv::Scalar kSurround(38, 84, 46);
const cv::Scalar kGrassLight(62, 158, 74);
const cv::Scalar kGrassDark(52, 140, 62);
const cv::Scalar kLineWhite(255, 255, 255);

// Clearly neither green nor white.
const std::array<cv::Scalar, 8> kPlayerColours { cv::Scalar(40, 40, 220), cv::Scalar(210, 70, 30),
    cv::Scalar(20, 215, 245), cv::Scalar(200, 40, 200), cv::Scalar(20, 120, 250),
    cv::Scalar(25, 25, 25), cv::Scalar(130, 20, 90), cv::Scalar(230, 200, 40) };

bool finite(double v) { return std::isfinite(v); }

cv::Point fixedPoint(cv::Point2d p)
{
    return cv::Point(cvRound(p.x * kShiftScale), cvRound(p.y * kShiftScale));
}

int lineThicknessPx(const ClipSpec& clipSettings)
{
    return std::max(2, cvRound(std::min(clipSettings.width, clipSettings.height) * kLineWidthPerPx));
}

// Picture corners before rounding: a trapezoid, narrower at the far edge as
// tilt grows, its far edge shifted sideways by pan, turned by the roll,
// and centred with a margin on every side.
std::array<cv::Point2d, 4> trapezoid(const ClipSpec& clipSettings)
{
    const double topShare = 1.0 - kTopNarrowing * clipSettings.tilt;
    const double depth = double(clipSettings.fieldLength) / clipSettings.fieldWidth
        * (1.0 - kDepthFlattening * clipSettings.tilt);
    const double halfTop = topShare / 2.0, shift = clipSettings.pan;
    // In units of the near edge's length, round the pitch's middle.
    std::array<cv::Point2d, 4> c { cv::Point2d(shift - halfTop, -depth / 2),
        cv::Point2d(shift + halfTop, -depth / 2), cv::Point2d(-0.5, depth / 2),
        cv::Point2d(0.5, depth / 2) };
    const double roll = clipSettings.rollDeg * CV_PI / 180.0;
    cv::Point2d low(HUGE_VAL, HUGE_VAL), high(-HUGE_VAL, -HUGE_VAL);
    for (cv::Point2d& p : c) {
        p = cv::Point2d(p.x * std::cos(roll) - p.y * std::sin(roll),
            p.x * std::sin(roll) + p.y * std::cos(roll));
        low = cv::Point2d(std::min(low.x, p.x), std::min(low.y, p.y));
        high = cv::Point2d(std::max(high.x, p.x), std::max(high.y, p.y));
    }
    const double boxW = clipSettings.width * (1.0 - 2 * kMarginFraction);
    const double boxH = clipSettings.height * (1.0 - 2 * kMarginFraction);
    const double scale = std::min(boxW / (high.x - low.x), boxH / (high.y - low.y));
    const cv::Point2d middle = (low + high) * 0.5;
    const cv::Point2d centre(clipSettings.width / 2.0, clipSettings.height / 2.0);
    for (cv::Point2d& p : c)
        p = centre + (p - middle) * scale;
    return c;
}

void fillRealQuad(cv::Mat& frame, const ClipTruth& truth, double x0, double y0, double x1,
    double y1, const cv::Scalar& colour)
{
    const std::array<cv::Point, 4> quad { fixedPoint(truth.toPicture(x0, y0)),
        fixedPoint(truth.toPicture(x1, y0)), fixedPoint(truth.toPicture(x1, y1)),
        fixedPoint(truth.toPicture(x0, y1)) };
    cv::fillConvexPoly(frame, quad.data(), 4, colour, cv::LINE_8, kShiftBits);
}

// A painted strip of the given real width centred on a to b, lengthened by
// half the width at both ends so that lines meeting at a corner close it.
void fillRealStrip(cv::Mat& frame, const ClipTruth& truth, cv::Point2d a, cv::Point2d b)
{
    const double half = truth.clipSettings.lineWidth / 2.0;
    const cv::Point2d along = (b - a) * (half / cv::norm(b - a));
    const cv::Point2d across(-along.y, along.x);
    const std::array<cv::Point2d, 4> real { a - along - across, b + along - across,
        b + along + across, a - along + across };
    std::array<cv::Point, 4> quad;
    for (std::size_t i = 0; i < quad.size(); ++i)
        quad[i] = fixedPoint(truth.toPicture(real[i].x, real[i].y));
    cv::fillConvexPoly(frame, quad.data(), 4, kLineWhite, cv::LINE_AA, kShiftBits);
}

void drawRealSegment(cv::Mat& frame, const ClipTruth& truth, cv::Point2d a, cv::Point2d b)
{
    if (truth.clipSettings.lineWidth > 0) {
        fillRealStrip(frame, truth, a, b);
        return;
    }
    // Straight lines stay straight under a homography: the ends suffice.
    cv::line(frame, fixedPoint(truth.toPicture(a.x, a.y)), fixedPoint(truth.toPicture(b.x, b.y)),
        kLineWhite, lineThicknessPx(truth.clipSettings), cv::LINE_8, kShiftBits);
}

// Three sides of a box of the given real width and depth, centred on the
// edge at height edgeY and reaching towards the middle (inward is +1 or -1).
void drawAreaBox(cv::Mat& frame, const ClipTruth& truth, double edgeY, double inward,
    double boxWidth, double depth)
{
    const double x0 = truth.clipSettings.fieldWidth / 2.0 - boxWidth / 2.0;
    const double x1 = x0 + boxWidth;
    const double y = edgeY + inward * depth;
    drawRealSegment(frame, truth, cv::Point2d(x0, edgeY), cv::Point2d(x0, y));
    drawRealSegment(frame, truth, cv::Point2d(x0, y), cv::Point2d(x1, y));
    drawRealSegment(frame, truth, cv::Point2d(x1, y), cv::Point2d(x1, edgeY));
}

void drawPenaltyAreas(cv::Mat& frame, const ClipTruth& truth)
{
    const double l = truth.clipSettings.fieldLength;
    for (const auto& [edgeY, inward] : { std::pair(0.0, 1.0), std::pair(l, -1.0) }) {
        drawAreaBox(frame, truth, edgeY, inward, kPenaltyWidthM, kPenaltyDepthM);
        drawAreaBox(frame, truth, edgeY, inward, kGoalAreaWidthM, kGoalAreaDepthM);
    }
}

// The centre circle of the given real radius as a closed polygon.
std::vector<cv::Point> centreRing(const ClipTruth& truth, double radius)
{
    const ClipSpec& s = truth.clipSettings;
    std::vector<cv::Point> ring;
    ring.reserve(kCircleSamples);
    for (int i = 0; i < kCircleSamples; ++i) {
        const double a = 2 * CV_PI * i / kCircleSamples;
        ring.push_back(fixedPoint(truth.toPicture(s.fieldWidth / 2.0 + radius * std::cos(a),
            s.fieldLength / 2.0 + radius * std::sin(a))));
    }
    return ring;
}

void drawCentreCircle(cv::Mat& frame, const ClipTruth& truth)
{
    const ClipSpec& s = truth.clipSettings;
    if (s.radius <= 0)
        return;
    if (s.lineWidth <= 0) {
        cv::polylines(frame, centreRing(truth, s.radius), true, kLineWhite, lineThicknessPx(s),
            cv::LINE_8, kShiftBits);
        return;
    }
    // The paint between its outer and inner edge.
    const double halfWidth = s.lineWidth / 2.0;
    const std::vector<std::vector<cv::Point>> edges { centreRing(truth, s.radius + halfWidth),
        centreRing(truth, std::max(0.0, s.radius - halfWidth)) };
    cv::fillPoly(frame, edges, kLineWhite, cv::LINE_AA, kShiftBits);
}

cv::Mat renderPitch(const ClipTruth& truth)
{
    const ClipSpec& s = truth.clipSettings;
    const double w = s.fieldWidth, l = s.fieldLength;
    cv::Mat frame(s.height, s.width, CV_8UC3, kSurround);
    fillRealQuad(frame, truth, 0, 0, w, l, kGrassLight);
    for (int i = 1; i < kStripes; i += 2)
        fillRealQuad(frame, truth, w * i / kStripes, 0, w * (i + 1) / kStripes, l, kGrassDark);
    const std::array<cv::Point2d, 4> c { cv::Point2d(0, l), cv::Point2d(w, l), cv::Point2d(0, 0),
        cv::Point2d(w, 0) };
    drawRealSegment(frame, truth, c[0], c[1]);
    drawRealSegment(frame, truth, c[2], c[3]);
    drawRealSegment(frame, truth, c[0], c[2]);
    drawRealSegment(frame, truth, c[1], c[3]);
    drawRealSegment(frame, truth, cv::Point2d(0, l / 2), cv::Point2d(w, l / 2));
    drawCentreCircle(frame, truth);
    if (s.penaltyAreas)
        drawPenaltyAreas(frame, truth);
    return frame;
}

struct Player
{
    cv::Point2d start; // real units
    cv::Point2d velocity; // real units per second
    cv::Scalar colour;
};

std::vector<Player> playersFor(const ClipSpec& s)
{
    cv::RNG rng(s.seed);
    const double unit = std::min(s.fieldLength, s.fieldWidth);
    const int colourOffset = rng.uniform(0, int(kPlayerColours.size()));
    std::vector<Player> players;
    for (int k = 0; k < s.players; ++k) {
        Player p;
        p.start = cv::Point2d(
            rng.uniform(0.1, 0.9) * s.fieldWidth, rng.uniform(0.1, 0.9) * s.fieldLength);
        const double speed = rng.uniform(0.06, 0.13) * unit;
        const double heading = rng.uniform(0.0, 2 * CV_PI);
        p.velocity = cv::Point2d(speed * std::cos(heading), speed * std::sin(heading));
        p.colour = kPlayerColours[(colourOffset + k) % kPlayerColours.size()];
        players.push_back(p);
    }
    return players;
}

// Position on a path that bounces between lo and hi.
double bounce(double start, double travelled, double lo, double hi)
{
    const double span = hi - lo;
    double t = std::fmod(start - lo + travelled, 2 * span);
    if (t < 0)
        t += 2 * span;
    return lo + (t <= span ? t : 2 * span - t);
}

void drawPlayer(cv::Mat& frame, const ClipTruth& truth, const Player& p, int index)
{
    const ClipSpec& s = truth.clipSettings;
    const double seconds = index / s.fps;
    const double x
        = bounce(p.start.x, p.velocity.x * seconds, 0.05 * s.fieldWidth, 0.95 * s.fieldWidth);
    const double y
        = bounce(p.start.y, p.velocity.y * seconds, 0.05 * s.fieldLength, 0.95 * s.fieldLength);
    const double bodyHeight = 0.04 * std::min(s.fieldLength, s.fieldWidth);
    const cv::Point2d feet = truth.toPicture(x, y);
    const cv::Point2d side = truth.toPicture(x + bodyHeight, y);
    const double heightPx = cv::norm(side - feet);
    const cv::Size2d axes(std::max(2.0, heightPx / 4), std::max(3.0, heightPx / 2));
    const cv::Point2d centre(feet.x, feet.y - axes.height);
    cv::ellipse(frame, fixedPoint(centre),
        cv::Size(cvRound(axes.width * kShiftScale), cvRound(axes.height * kShiftScale)), 0, 0, 360,
        p.colour, cv::FILLED, cv::LINE_8, kShiftBits);
}

// Still players centred on the outline, one side after the other.
void drawLinePlayers(cv::Mat& frame, const ClipTruth& truth)
{
    const ClipSpec& s = truth.clipSettings;
    cv::RNG rng(s.seed + 1);
    const double w = s.fieldWidth, l = s.fieldLength;
    const cv::Point2d outline[4] { { 0, 0 }, { w, 0 }, { w, l }, { 0, l } };
    const double bodyHeight = 0.04 * std::min(l, w);
    for (int k = 0; k < s.linePlayers; ++k) {
        const cv::Point2d from = outline[k % 4], to = outline[(k + 1) % 4];
        const cv::Point2d real = from + (to - from) * rng.uniform(0.1, 0.9);
        const cv::Point2d centre = truth.toPicture(real.x, real.y);
        const double heightPx = cv::norm(truth.toPicture(real.x + bodyHeight, real.y) - centre);
        const cv::Size axes(cvRound(std::max(2.0, heightPx / 4) * kShiftScale),
            cvRound(std::max(3.0, heightPx / 2) * kShiftScale));
        cv::ellipse(frame, fixedPoint(centre), axes, 0, 0, 360,
            kPlayerColours[k % kPlayerColours.size()], cv::FILLED, cv::LINE_8, kShiftBits);
    }
}

void drawPlayers(
    cv::Mat& frame, const ClipTruth& truth, const std::vector<Player>& players, int index)
{
    for (const Player& p : players)
        drawPlayer(frame, truth, p, index);
    drawLinePlayers(frame, truth);
    if (truth.clipSettings.match)
        drawMatch(frame, truth, index);
}

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

void drawFrameCode(cv::Mat& frame, const ClipSpec& clipSettings, int index)
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
    const ClipSpec& s, const std::string& ext, std::vector<std::string>* args, std::string* error)
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
    const ClipSpec& s, const std::vector<std::string>& codec, const std::string& path)
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
void shiftPicture(cv::Mat& frame, const ClipSpec& s, int index)
{
    if (index < s.shiftAtFrame || (s.shiftXPx == 0 && s.shiftYPx == 0))
        return;
    const cv::Matx23d move(1, 0, s.shiftXPx, 0, 1, s.shiftYPx);
    cv::Mat moved;
    cv::warpAffine(
        frame, moved, move, frame.size(), cv::INTER_NEAREST, cv::BORDER_CONSTANT, kSurround);
    frame = moved;
}

bool encodeFrames(const ClipTruth& truth, FfmpegPipe& pipe)
{
    const cv::Mat pitch = renderPitch(truth);
    const std::vector<Player> players = playersFor(truth.clipSettings);
    const std::size_t bytes = pitch.total() * pitch.elemSize();
    cv::Mat frame;
    for (int i = 0; i < truth.clipSettings.frames; ++i) {
        pitch.copyTo(frame);
        drawPlayers(frame, truth, players, i);
        shiftPicture(frame, truth.clipSettings, i);
        drawFrameCode(frame, truth.clipSettings, i);
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

cv::Point2d ClipTruth::toPicture(double realX, double realY) const
{
    const cv::Vec3d p = homography * cv::Vec3d(realX, realY, 1.0);
    return cv::Point2d(p[0] / p[2], p[1] / p[2]);
}

cv::Point ClipTruth::centre() const
{
    const cv::Point2d c = toPicture(clipSettings.fieldWidth / 2.0, clipSettings.fieldLength / 2.0);
    return cv::Point(cvRound(c.x), cvRound(c.y));
}

std::string specError(const ClipSpec& s)
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
    if (s.keyframeInterval < 0)
        return "keyframe interval " + std::to_string(s.keyframeInterval) + " is below 0";
    if (s.shiftAtFrame < 0 || std::abs(s.shiftXPx) >= s.width || std::abs(s.shiftYPx) >= s.height)
        return "the shift must start at a frame >= 0 and stay within the picture";
    if (s.frameCode && s.frames > (1 << kCodeBits))
        return "a frame code holds at most " + std::to_string(1 << kCodeBits) + " frames";
    return {};
}

ClipTruth truthFor(const ClipSpec& clipSettings)
{
    ClipTruth truth;
    truth.clipSettings = clipSettings;
    truth.corners = {};
    truth.homography = cv::Matx33d::eye();
    if (!specError(clipSettings).empty())
        return truth;
    const std::array<cv::Point2d, 4> exact = trapezoid(clipSettings);
    std::array<cv::Point2f, 4> picture;
    for (std::size_t i = 0; i < 4; ++i) {
        truth.corners[i] = cv::Point(std::clamp(cvRound(exact[i].x), 0, clipSettings.width - 1),
            std::clamp(cvRound(exact[i].y), 0, clipSettings.height - 1));
        picture[i] = cv::Point2f(truth.corners[i]);
    }
    const float l = clipSettings.fieldLength, w = clipSettings.fieldWidth;
    const std::array<cv::Point2f, 4> real { cv::Point2f(0, l), cv::Point2f(w, l), cv::Point2f(0, 0),
        cv::Point2f(w, 0) };
    truth.homography = cv::Matx33d(cv::getPerspectiveTransform(real.data(), picture.data()));
    return truth;
}

cv::Mat renderFrame(const ClipSpec& clipSettings, int index)
{
    if (!specError(clipSettings).empty())
        return {};
    const ClipTruth truth = truthFor(clipSettings);
    cv::Mat frame = renderPitch(truth);
    drawPlayers(frame, truth, playersFor(clipSettings), index);
    shiftPicture(frame, clipSettings, index);
    drawFrameCode(frame, clipSettings, index);
    return frame;
}

bool writeClip(const ClipSpec& clipSettings, const std::string& path, std::string* error, bool writeJson)
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
    const ClipSpec& s = truth.clipSettings;
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
