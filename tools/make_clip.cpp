// make_clip: writes a synthetic pitch clip and its ground truth (.json beside it).

#include "ClipGenerator.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[]
    = "usage: make_clip --out PATH [--width W] [--height H] [--fps F] [--frames N]\n"
      "                 [--length L] [--field-width W] [--radius R] [--players P]\n"
      "                 [--tilt T] [--seed S] [--keyframe-interval K] [--frame-code 0|1]\n"
      "                 [--line-width M] [--penalty-areas 0|1] [--pan P] [--roll DEG]\n"
      "                 [--line-players N] [--shift-at FRAME --shift-x PX --shift-y PY]\n"
      "                 [--match 0|1]\n"
      "PATH ends in .mkv (lossless FFV1), .avi (MJPEG) or .mp4 (H.264).\n";

template <typename T> bool parseNumber(std::string_view text, T* value)
{
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, *value);
    return r.ec == std::errc() && r.ptr == end;
}

// A switch given as 0 or 1.
bool parseSwitch(std::string_view text, bool* value)
{
    int on = -1;
    if (!parseNumber(text, &on) || (on != 0 && on != 1))
        return false;
    *value = on == 1;
    return true;
}

// Stores the value of one option; false for an unknown option or a bad number.
bool applyOption(
    std::string_view name, std::string_view value, testclips::ClipSettings* clipSettings, std::string* out)
{
    if (name == "--out") {
        *out = std::string(value);
        return !value.empty();
    }
    if (name == "--width")
        return parseNumber(value, &clipSettings->width);
    if (name == "--height")
        return parseNumber(value, &clipSettings->height);
    if (name == "--fps")
        return parseNumber(value, &clipSettings->fps);
    if (name == "--frames")
        return parseNumber(value, &clipSettings->frames);
    if (name == "--length")
        return parseNumber(value, &clipSettings->fieldLength);
    if (name == "--field-width")
        return parseNumber(value, &clipSettings->fieldWidth);
    if (name == "--radius")
        return parseNumber(value, &clipSettings->radius);
    if (name == "--players")
        return parseNumber(value, &clipSettings->players);
    if (name == "--tilt")
        return parseNumber(value, &clipSettings->tilt);
    if (name == "--seed")
        return parseNumber(value, &clipSettings->seed);
    if (name == "--keyframe-interval")
        return parseNumber(value, &clipSettings->keyframeInterval);
    if (name == "--frame-code")
        return parseSwitch(value, &clipSettings->frameCode);
    if (name == "--line-width")
        return parseNumber(value, &clipSettings->lineWidth);
    if (name == "--penalty-areas")
        return parseSwitch(value, &clipSettings->penaltyAreas);
    if (name == "--shift-at")
        return parseNumber(value, &clipSettings->shiftAtFrame);
    if (name == "--shift-x")
        return parseNumber(value, &clipSettings->shiftXPx);
    if (name == "--shift-y")
        return parseNumber(value, &clipSettings->shiftYPx);
    if (name == "--pan")
        return parseNumber(value, &clipSettings->pan);
    if (name == "--roll")
        return parseNumber(value, &clipSettings->rollDeg);
    if (name == "--line-players")
        return parseNumber(value, &clipSettings->linePlayers);
    if (name == "--match")
        return parseSwitch(value, &clipSettings->match);
    return false;
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "make_clip: %s\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv)
{
    testclips::ClipSettings clipSettings;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc)
            return usageError("missing value for " + std::string(name));
        const std::string_view value = argv[++i];
        if (!applyOption(name, value, &clipSettings, &out))
            return usageError(
                "bad option or value: " + std::string(name) + " " + std::string(value));
    }
    if (out.empty())
        return usageError("--out PATH is required");

    std::string error;
    if (!testclips::writeClip(clipSettings, out, &error)) {
        std::fprintf(stderr, "make_clip: %s\n", error.c_str());
        return kExitFailed;
    }
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    std::printf("make_clip: wrote %s (%dx%d, %d frames at %g fps); corners", out.c_str(),
        clipSettings.width, clipSettings.height, clipSettings.frames, clipSettings.fps);
    for (const cv::Point& c : truth.corners)
        std::printf(" (%d, %d)", c.x, c.y);
    std::printf("\n");
    return 0;
}
