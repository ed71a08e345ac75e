#pragma once

// Scores player tracks against the ground truth of a generated match clip
// (PlayerSimulation): per-frame recall and precision of players within a
// radius (one-to-one, least total distance), IDF1 (the share of sightings
// whose track keeps the identity its person was given globally), the median
// position error of matched sightings, the share of matched sightings with
// the right team, and the total distance covered against the truth's.

#include "ClipGenerator.h"
#include "PlayerSimulation.h"
#include "PlayerSprite.h"
#include "tracking/CAssignment.h"
#include "tracking/CTrackFinisher.h"

#include <algorithm>
#include <map>
#include <vector>

namespace trackscoring {

struct Scores
{
    double recall = 0, precision = 0, idf1 = 0, medianErrorM = 0, teamsRight = 0;
    double distanceM = 0, truthDistanceM = 0;
    double distanceRatio() const { return truthDistanceM > 0 ? distanceM / truthDistanceM : 0; }
};

inline std::ostream& operator<<(std::ostream& out, const Scores& s)
{
    return out << "recall " << s.recall << ", precision " << s.precision << ", IDF1 " << s.idf1
               << ", median error " << s.medianErrorM << " m, teams right " << s.teamsRight
               << ", distance " << s.distanceM << " m of " << s.truthDistanceM << " m";
}

struct Sighting
{
    int id;
    cv::Point2d pitch;
    char team;
};

// Truth and tracks by frame.
using Frames = std::vector<std::vector<Sighting>>;

inline Frames truthFrames(const testclips::ClipSettings& plan)
{
    const testclips::PlayerSimulation sim = testclips::simulationFor(plan);
    Frames frames(plan.frames);
    for (int f = 0; f < plan.frames; ++f)
        for (const testclips::SimPerson& p : sim.people())
            if (p.tracked())
                frames[f].push_back({ p.id, sim.position(p, f / plan.fps), p.expectedTeam() });
    return frames;
}

inline double truthDistance(const testclips::ClipSettings& plan)
{
    const testclips::PlayerSimulation sim = testclips::simulationFor(plan);
    double sum = 0;
    for (const testclips::SimPerson& p : sim.people())
        if (p.tracked())
            sum += sim.distance(p, 0, (plan.frames - 1) / plan.fps);
    return sum;
}

inline Frames trackFrames(const std::vector<CFinishedTrack>& tracks, int frameCount)
{
    Frames frames(frameCount);
    for (const CFinishedTrack& t : tracks)
        for (const CTrackSample& s : t.samples)
            if (s.frame >= 0 && s.frame < frameCount)
                frames[s.frame].push_back({ t.id, s.pitch, t.team });
    return frames;
}

inline Scores score(const Frames& truth, const Frames& tracks, double radiusM)
{
    Scores s;
    long long truthCount = 0, trackCount = 0, matched = 0, teamRight = 0;
    std::vector<double> errors;
    std::map<std::pair<int, int>, long long> together; // (truth id, track id) -> frames matched
    for (std::size_t f = 0; f < truth.size() && f < tracks.size(); ++f) {
        const auto& g = truth[f];
        const auto& t = tracks[f];
        truthCount += (long long)g.size();
        trackCount += (long long)t.size();
        cv::Mat_<double> cost(int(g.size()), int(t.size()));
        for (int i = 0; i < cost.rows; ++i)
            for (int j = 0; j < cost.cols; ++j) {
                const double d = cv::norm(g[i].pitch - t[j].pitch);
                cost(i, j) = d < radiusM ? d : 1e9;
                if (d < radiusM)
                    ++together[{ g[i].id, t[j].id }];
            }
        const std::vector<int> pairs = CAssignment::solve(cost, 1e9);
        for (int i = 0; i < cost.rows; ++i) {
            if (pairs[i] < 0)
                continue;
            ++matched;
            errors.push_back(cost(i, pairs[i]));
            teamRight += g[i].team == t[pairs[i]].team ? 1 : 0;
        }
    }
    std::map<int, int> truthIndex, trackIndex;
    for (const auto& [key, n] : together) {
        truthIndex.emplace(key.first, int(truthIndex.size()));
        trackIndex.emplace(key.second, int(trackIndex.size()));
    }
    cv::Mat_<double> idCost(int(truthIndex.size()), int(trackIndex.size()), 0.0);
    for (const auto& [key, n] : together)
        idCost(truthIndex[key.first], trackIndex[key.second]) = -double(n);
    const std::vector<int> ids = CAssignment::solve(idCost, 1.0);
    double idtp = 0;
    for (int i = 0; i < idCost.rows; ++i)
        if (ids[i] >= 0)
            idtp -= idCost(i, ids[i]);
    s.recall = truthCount ? double(matched) / truthCount : 0;
    s.precision = trackCount ? double(matched) / trackCount : 0;
    s.idf1 = truthCount + trackCount ? 2 * idtp / double(truthCount + trackCount) : 0;
    s.teamsRight = matched ? double(teamRight) / matched : 0;
    if (!errors.empty()) {
        std::nth_element(errors.begin(), errors.begin() + errors.size() / 2, errors.end());
        s.medianErrorM = errors[errors.size() / 2];
    }
    return s;
}

} // namespace trackscoring
