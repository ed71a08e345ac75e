#pragma once

#include "tracking/CPlayerDetector.h"

#include <opencv2/core.hpp>
#include <opencv2/video/tracking.hpp>

#include <vector>

// Where one track was at one frame.
struct CTrackSample
{
    enum class State { Detected, Predicted, Interpolated };

    int frame = 0;
    cv::Point2d pitch; // metres
    cv::Point2d picture; // the foot point, video pixels (0, 0 when not seen)
    State state = State::Detected;
};

// One player's track: its id, its samples in frame order, and the shirt
// colours of its sightings (at most kMaxColours, evenly thinned).
struct CTrackHistory
{
    int id = 0;
    std::vector<CTrackSample> samples;
    std::vector<cv::Vec3f> colours;
    int colourStride = 1;
    int colourSeen = 0;

    static constexpr std::size_t kMaxColours = 256;
    void addColour(const cv::Vec3f& colour);
    // The per-channel median: the sightings where the player overlapped
    // another do not pull it.
    cv::Vec3f colour() const;
};

// Follows the detected players from frame to frame on the pitch, in metres:
// a constant-velocity Kalman filter per track, one-to-one matching of
// tracks and detections of least total distance (CAssignment), then a
// second pass that gives tracks left over the weak detections near them.
// New tracks start from unmatched detections and count once they are seen
// in a few frames in a row (a track of weak sightings only, for longer); a
// track not seen is carried by its motion model for a short memory (an
// occluded player) and then ends. A track that keeps sitting on an older
// one (a player whose blob came apart into several sightings) is dropped,
// with the samples it shared. Track ids count from 1 in the order tracks
// are confirmed and are never reused.
class CPlayerTracker
{
public:
    explicit CPlayerTracker(double fps);

    void update(int frame, const std::vector<CPlayerDetection>& detections);
    // Where the tracks' motion models put their players at the next update.
    std::vector<cv::Point2d> expected() const;
    // The confirmed tracks alive at the last update, with their newest
    // sample (detected or predicted); speed is the filter's, in m/s.
    struct Live
    {
        int id;
        CTrackSample sample;
        double speedMps;
        cv::Vec3f colour; // the shirt's, as CTrackHistory::colour
    };
    std::vector<Live> live() const;
    // For a tracker that runs without end (a live view): forgets the ended
    // tracks and all but the newest samples of the living ones, which is
    // all the matching itself reads. finish() then holds only those.
    void forgetHistory();
    // Every confirmed track, ended or alive, each cut after its last
    // sighting; sorted by id.
    std::vector<CTrackHistory> finish();

    static constexpr double kGateM = 1.6; // farthest a detection may lie from a prediction
    static constexpr double kWeakGateM = 1.0;
    static constexpr double kMemoryS = 1.2; // an unseen track lives on this long
    // Closer than a player's footprint to an older track, seen, for this
    // long: the same player twice. Two players crossing pass that close
    // for a moment only.
    static constexpr double kShadowM = 1.2;
    static constexpr double kShadowS = 0.6;

private:
    struct Track
    {
        CTrackHistory history;
        cv::KalmanFilter filter;
        int hits = 0;
        int misses = 0;
        int shadowed = 0; // updates in a row on top of an older track
        bool strong = false; // seen at least once as a whole player
        bool confirmed = false;
    };

    Track start(int frame, const CPlayerDetection& d) const;
    void predict();
    void pass(int frame, const std::vector<CPlayerDetection>& detections, bool weak,
        std::vector<char>& trackFree, std::vector<char>& detectionFree);
    bool nearTrack(cv::Point2d pitch, double radius) const;
    void see(Track& t, int frame, const CPlayerDetection& d);
    void miss(Track& t, int frame);
    void dropShadows();
    bool shadows(const Track& t) const;
    void retire();
    void end(Track& t);

    double dt;
    int memoryFrames;
    int shadowFrames;
    int weakConfirmHits;
    int nextId = 1;
    std::vector<Track> tracks;
    std::vector<CTrackHistory> ended;
};
