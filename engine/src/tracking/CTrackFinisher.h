#pragma once

#include "tracking/CPlayerTracker.h"

#include <vector>

// A track as it is written: every frame from its first sighting to its
// last, smoothed, with a speed per frame and a team.
struct CFinishedTrack
{
    int id = 0;
    char team = 0; // 'A', 'B' or 0 (unknown)
    std::vector<CTrackSample> samples; // consecutive frames
    std::vector<double> speedsMps;
    double distanceM = 0;
};

// Turns the tracker's histories into finished tracks once the whole video
// is read: gaps the motion model bridged are filled in between the two
// sightings (state Interpolated), tracks too short to be a player are
// dropped, positions are smoothed and speeds taken (CTrackSmoother), and
// the teams come from the shirt colours (CTeamClassifier); team A is the
// one that stands nearer the bottom edge (y = 0) on average.
class CTrackFinisher
{
public:
    // A track seen in fewer frames than this many seconds' worth is a
    // passing shadow or a split part, not a player.
    static constexpr double kMinSeenS = 0.4;

    // Players were looked for in every `stride`-th frame.
    explicit CTrackFinisher(double fps, int stride = 1);

    // `lastFrame` is the video's last frame: tracks seen at the last look
    // before it are carried on to it.
    std::vector<CFinishedTrack> finish(
        const std::vector<CTrackHistory>& histories, int lastFrame = -1) const;

private:
    static std::vector<CTrackSample> filled(const std::vector<CTrackSample>& samples);
    void carryToEnd(CFinishedTrack& track, int lastFrame) const;
    void assignTeams(
        const std::vector<CTrackHistory>& kept, std::vector<CFinishedTrack>& tracks) const;

    double fps;
    int stride;
};
