#include "players/PlayerStats.h"

#include "players/TrackSet.h"

#include <algorithm>

PlayerStats PlayerStats::of(const PlayerTrack& track, double fps)
{
    PlayerStats stats;
    if (fps <= 0)
        return stats;
    const double frameSeconds = 1.0 / fps;
    const std::vector<TrackSample>& samples = track.samples;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double speed = samples[i].speed;
        stats.topSpeedMps = std::max(stats.topSpeedMps, speed);
        if (speed > kHighSpeedMps)
            stats.secondsAboveHighSpeed += frameSeconds;
        if (speed > kSprintMps)
            stats.secondsAboveSprint += frameSeconds;
        if (i > 0 && samples[i - 1].frame + 1 == samples[i].frame)
            stats.distanceM += (samples[i - 1].speed + speed) / 2 * frameSeconds;
    }
    return stats;
}
