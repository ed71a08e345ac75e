#pragma once

#include "pitch/CPitchGeometry.h"
#include "tracking/CPlayerDetector.h"
#include "tracking/CPlayerTracker.h"

#include <opencv2/core.hpp>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Tracks the players of the frames a playback shows, one frame at a time,
// for a live view: the detection and tracking of a whole-video run without
// its afterwards steps (no gap filling or smoothing; speeds are the motion
// model's), teams from the shirt colours of the players on the pitch now,
// and only the newest samples kept, so memory stays flat however long it
// plays. A frame that does not follow the last one fed (a seek, a jump)
// starts the tracks afresh, with new ids.
//
// Threads: feed() may run on one thread while latest() is called on
// others; the players of the latest frame are published under a lock of
// their own, so a reader never waits for a frame's detection.
class CLiveTracker
{
public:
    struct Player
    {
        int id = 0;
        char team = 0; // 'A', 'B' or 0
        cv::Point2d picture; // the foot point, video pixels
        cv::Point2d pitch; // metres
        double speedMps = 0;
    };

    // Learns the empty pitch from frames sampled across the video (read
    // with a capture of its own). Null when the geometry shows no pitch.
    static std::unique_ptr<CLiveTracker> create(const std::string& video,
        const CPitchGeometry& geometry, double width, double length, cv::Size frameSize, double fps);

    // The part of a full-size BGR frame the tracking reads, reduced: cheap,
    // so that a caller can take it while the frame is still its own.
    cv::Mat reduce(const cv::Mat& bgr) const;
    // Tracks frame `index` from its reduced copy and publishes its players.
    void feed(const cv::Mat& reduced, long long index);
    // The players of the latest frame fed and that frame's index (-1
    // before the first).
    long long latest(std::vector<Player>& players) const;

    // Teams are sorted out again this often, from the colours the tracks
    // have gathered so far.
    static constexpr double kTeamEveryS = 0.5;

private:
    CLiveTracker(CPlayerDetector detector, const CPitchGeometry& geometry, double fps);

    void restart();
    void sortTeams(const std::vector<CPlayerTracker::Live>& live);
    std::vector<Player> players(const std::vector<CPlayerTracker::Live>& live) const;

    double fps;
    int teamEveryFrames;
    std::mutex feeding; // one frame at a time, whoever feeds
    CPlayerDetector detector;
    CPitchGeometry geometry;
    std::unique_ptr<CPlayerTracker> tracker;
    long long lastIndex = -1;
    int framesSinceTeams = 0;
    int idBase = 0; // ids of the tracks before the last restart
    int highestId = 0;
    std::map<int, char> teams; // by the tracker's own id
    mutable std::mutex publishing;
    std::vector<Player> published;
    long long publishedIndex = -1;
};
