#pragma once

#include "ClipGenerator.h"
#include "EngineTestSupport.h"
#include "VistrelInterface.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <chrono>
#include <dlfcn.h>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

// Helpers of the playback tests, which drive libVistrel.so only through
// VistrelInterface, as a host does.
namespace playbacktest {

// How long a test waits for something that should happen well within a
// second before it calls the engine hung. Generous, because the sanitizer
// builds are slow; it never decides a pass by timing.
constexpr std::chrono::seconds kHangGuard { 60 };

// libVistrel.so, loaded once as a host loads it; null (with a test failure)
// when it cannot be loaded.
inline void* vistrelLibrary()
{
    static void* library = dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        ADD_FAILURE() << "dlopen failed: " << dlerror();
    return library;
}

// An exported function of the library by name; null when it is missing.
template <typename Function> Function* librarySymbol(const char* name)
{
    void* library = vistrelLibrary();
    return library ? reinterpret_cast<Function*>(dlsym(library, name)) : nullptr;
}

// The engine of a fresh factory call. The host never destroys its engine;
// these are kept reachable until the process ends, so that the leak checker
// does not count them.
inline VistrelInterface* newEngine()
{
    void* library = vistrelLibrary();
    if (!library)
        return nullptr;
    using Factory = VistrelInterface* (*)();
    const auto factory = reinterpret_cast<Factory>(dlsym(library, "GetVistrelInterface"));
    if (!factory) {
        ADD_FAILURE() << "no GetVistrelInterface in " << VISTREL_LIBRARY_PATH;
        return nullptr;
    }
    static auto* const engines = new std::vector<VistrelInterface*>;
    engines->push_back(factory());
    return engines->back();
}

// Writes a lossless clip (FFV1) of the clipSettings once per process and returns its
// path.
inline std::string losslessClip(const testclips::ClipSettings& clipSettings, const std::string& name)
{
    return enginetest::clipPath(clipSettings, name + ".mkv");
}

// Frame `index` of a lossless clip as the engine exports it: R, G, B.
inline cv::Mat expectedRgb(const testclips::ClipSettings& clipSettings, int index)
{
    cv::Mat rgb;
    cv::cvtColor(testclips::renderFrame(clipSettings, index), rgb, cv::COLOR_BGR2RGB);
    return rgb;
}

// The exported picture as an image of the reported size. Reading it whole
// checks under AddressSanitizer that the buffer holds width x height x 3.
inline cv::Mat exported(VistrelInterface& engine)
{
    const auto buffer = engine.exportFrame();
    if (!buffer)
        return {};
    const cv::Mat view(engine.getFrameHeight(), engine.getFrameWidth(), CV_8UC3, buffer.get());
    return view.clone();
}

inline bool samePicture(const cv::Mat& a, const cv::Mat& b)
{
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0.0;
}

// Polls until the condition holds; false when the hang guard runs out.
inline bool waitUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Runs Play on a worker thread, as the host's worker thread does.
inline std::future<int> playAsync(VistrelInterface& engine)
{
    return std::async(std::launch::async, [&engine] { return engine.Play(); });
}

inline bool finishes(std::future<int>& play)
{
    return play.wait_for(kHangGuard) == std::future_status::ready;
}

// Gives the engine the clip's dimensions and its true corners.
inline void calibrate(VistrelInterface& engine, const testclips::ClipSettings& plan)
{
    const testclips::ClipTruth truth = testclips::truthFor(plan);
    engine.clearFieldPoints();
    engine.setFieldWidth(plan.fieldWidth);
    engine.setFieldLength(plan.fieldLength);
    for (int i = 0; i < 4; ++i)
        engine.addFieldPoint(i < 2 ? 0 : 1, truth.corners[i].x, truth.corners[i].y);
}

} // namespace playbacktest
