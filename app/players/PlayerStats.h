#pragma once

struct PlayerTrack;

// What the players table shows of one track: the distance covered and the
// running speeds, from the smoothed speeds of the tracks CSV.
struct PlayerStats
{
    static constexpr double kHighSpeedMps = 5.5;
    static constexpr double kSprintMps = 7.0;

    double distanceM = 0.0;
    double topSpeedMps = 0.0;
    double secondsAboveHighSpeed = 0.0;
    double secondsAboveSprint = 0.0;

    // The speeds of neighbouring frames are averaged over the frame between
    // them (a gap in the track adds nothing): the positions are smoothed
    // already, so frame-to-frame steps of raw positions would count jitter.
    static PlayerStats of(const PlayerTrack& track, double fps);
};
