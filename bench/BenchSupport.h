#pragma once

#include "ClipGenerator.h"
#include "VistrelInterface.h"

#include <opencv2/videoio.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

// Helpers of the benchmark programs. They load libVistrel.so as a host does
// and measure it against plain OpenCV work in the same run.
namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of the whole process (all threads, user and system), in
// seconds. Unlike the wall clock it hardly depends on what else the machine
// runs meanwhile.
inline double processorSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Wall-clock and processor seconds of one run of work.
struct Timing
{
    double wall = 0.0;
    double processor = 0.0;
};

template <typename Work> Timing timed(Work work)
{
    const double processorStart = processorSeconds();
    const auto start = Clock::now();
    work();
    return { secondsSince(start), processorSeconds() - processorStart };
}

[[noreturn]] inline void fail(const std::string& message)
{
    std::fprintf(stderr, "bench: %s\n", message.c_str());
    std::exit(1);
}

inline VistrelInterface* newEngine()
{
    static void* library = dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        fail(std::string("cannot load the engine: ") + dlerror());
    using Factory = VistrelInterface* (*)();
    const auto factory = reinterpret_cast<Factory>(dlsym(library, "GetVistrelInterface"));
    VistrelInterface* engine = factory ? factory() : nullptr;
    if (!engine)
        fail("the engine library gives no engine");
    return engine;
}

// A folder for the generated clips, removed with its contents at the end.
class ScratchDir
{
public:
    ScratchDir()
        : previous(std::filesystem::current_path())
        , path(std::filesystem::temp_directory_path()
              / ("tarvola-bench-" + std::to_string(getpid())))
    {
        std::filesystem::create_directories(path);
        // The engines write their debug.log into the working directory.
        std::filesystem::current_path(path);
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path previous;
    const std::filesystem::path path;
};

struct Clip
{
    testclips::ClipSettings clipSettings;
    testclips::ClipTruth truth;
    std::string path;
};

// A 105 x 68 m pitch with its penalty areas and eight players, painted as
// real pitches are, for the benches of the calibration assist.
inline testclips::ClipSettings markedPitch(int width, int height, int frames)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = width;
    clipSettings.height = height;
    clipSettings.frames = frames;
    clipSettings.fieldLength = 105.f;
    clipSettings.fieldWidth = 68.f;
    clipSettings.players = 8;
    clipSettings.lineWidth = 0.12f;
    clipSettings.penaltyAreas = true;
    return clipSettings;
}

// A generated clip of these settings, written into `dir` as `name`.
inline Clip writeClip(
    const ScratchDir& dir, const testclips::ClipSettings& clipSettings, const std::string& name)
{
    Clip clip { clipSettings, testclips::truthFor(clipSettings), (dir.path / name).string() };
    std::string error;
    if (!testclips::writeClip(clipSettings, clip.path, &error, false))
        fail("cannot write " + clip.path + ": " + error);
    return clip;
}

// A generated pitch clip; `extension` chooses the codec (.avi MJPEG, .mkv
// FFV1).
inline Clip makeClip(
    const ScratchDir& dir, int width, int height, int frames, const std::string& extension)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = width;
    clipSettings.height = height;
    clipSettings.frames = frames;
    return writeClip(
        dir, clipSettings, std::to_string(width) + "x" + std::to_string(height) + extension);
}

// A new engine with the video at `path` loaded.
inline VistrelInterface* engineWith(const std::string& path)
{
    VistrelInterface* engine = newEngine();
    if (engine->LoadVideo(path) != 0)
        fail("cannot open " + path);
    return engine;
}

inline const char* codecName(const std::string& path)
{
    return path.ends_with(".mkv") ? "FFV1" : "MJPEG";
}

// Calibrates the pitch model with the clip's corners and centre, so that
// every pass draws the whole overlay. Returns the number of outline and
// grid segments (9 once calibrated).
inline std::size_t calibrate(VistrelInterface& engine, const Clip& clip)
{
    engine.setFieldLength(clip.clipSettings.fieldLength);
    engine.setFieldWidth(clip.clipSettings.fieldWidth);
    engine.setCentreCircleRadius(clip.clipSettings.radius);
    const auto& c = clip.truth.corners;
    engine.addFieldPoint(0, c[0].x, c[0].y);
    engine.addFieldPoint(0, c[1].x, c[1].y);
    engine.addFieldPoint(1, c[2].x, c[2].y);
    engine.addFieldPoint(1, c[3].x, c[3].y);
    engine.setGameCentre(clip.truth.centre().x, clip.truth.centre().y);
    return engine.getFieldLines().size();
}

// A plain OpenCV decode of the whole file: open, read every frame. Returns
// the number of frames.
inline int decodeAll(const std::string& path)
{
    cv::VideoCapture capture(path, cv::CAP_FFMPEG);
    cv::Mat frame;
    int count = 0;
    while (capture.read(frame))
        ++count;
    return count;
}

// Wall-clock seconds of decodeAll; the number of frames in *frames.
inline double decodeSeconds(const std::string& path, int* frames = nullptr)
{
    int count = 0;
    const Timing timing = timed([&] { count = decodeAll(path); });
    if (frames)
        *frames = count;
    return timing.wall;
}

// Resident memory of this process in kB.
inline long residentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace bench
