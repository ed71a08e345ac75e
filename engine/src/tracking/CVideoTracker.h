#pragma once

#include "pitch/CPitchGeometry.h"
#include "tracking/CTrackFinisher.h"

#include <opencv2/videoio.hpp>

#include <array>
#include <functional>
#include <string>
#include <vector>

class CPlayerDetector;

// Tracks the players of a whole video into the tracks CSV and its sidecar:
// the background from frames sampled across the video, then the frames
// through detection (CPlayerDetector) and tracking (CPlayerTracker), at
// least 12.5 a second, and at the end gap filling, smoothing and teams
// (CTrackFinisher). Reads the file
// with a capture of its own, so an engine's playback is not disturbed.
// The CSV is written beside its target and renamed only when complete, so a
// failed or cancelled run leaves no half file.
class CVideoTracker
{
public:
    enum class Outcome { Done, Cancelled, NoCalibration, CannotRead, CannotWrite };

    struct Job
    {
        std::string video;
        std::string csv; // the sidecar goes to csv + ".json"
        CPitchGeometry geometry;
        double width = 0, length = 0; // metres
        std::array<cv::Point2d, 4> corners; // for the sidecar, click order
    };

    // Called after each frame with the frames done and the total (the
    // container's count, 0 when unknown); returning false cancels the run.
    using Progress = std::function<bool(long long done, long long total)>;

    // The tracks themselves, for callers that score or show them.
    struct Report
    {
        Outcome outcome = Outcome::CannotRead;
        std::string error;
        long long frames = 0;
        double fps = 0;
        std::vector<CFinishedTrack> tracks;
    };

    static Report run(const Job& job, const Progress& progress);

    // Reads the frames the detector's empty-pitch background is made of
    // from the video at path and primes it with them.
    static void sampleBackground(const std::string& path, CPlayerDetector& detector);

    // Frames spread over the video; each is read a little after the
    // keyframe before it, where seeking costs least.
    static constexpr int kBackgroundSamples = 9;

private:
    static bool follow(cv::VideoCapture& capture, cv::Mat first, CPlayerDetector& detector,
        int stride, const Progress& progress, Report& report);
};
