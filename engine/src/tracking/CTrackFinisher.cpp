#include "tracking/CTrackFinisher.h"

#include "tracking/CTeamClassifier.h"
#include "tracking/CTrackSmoother.h"

#include <algorithm>
#include <cmath>

CTrackFinisher::CTrackFinisher(double fps, int stride)
    : fps(fps > 0 ? fps : 25.0)
    , stride(std::max(1, stride))
{ }

// Between two sightings the positions are put on the straight line between
// them: afterwards, that is a better guess than the prediction made before
// the second sighting was known.
std::vector<CTrackSample> CTrackFinisher::filled(const std::vector<CTrackSample>& samples)
{
    std::vector<CTrackSample> out;
    const CTrackSample* last = nullptr;
    for (const CTrackSample& s : samples) {
        if (s.state != CTrackSample::State::Detected)
            continue;
        if (last) {
            const int gap = s.frame - last->frame;
            for (int f = last->frame + 1; f < s.frame; ++f) {
                const double t = double(f - last->frame) / gap;
                out.push_back({ f, last->pitch + (s.pitch - last->pitch) * t, {},
                    CTrackSample::State::Interpolated });
            }
        }
        out.push_back(s);
        last = &s;
    }
    return out;
}

// The frames after the last look (fewer than a stride) were not looked at:
// a player seen then is carried on at the pace of its last frames, as the
// motion model would, rather than shown gone.
void CTrackFinisher::carryToEnd(CFinishedTrack& track, int lastFrame) const
{
    auto& s = track.samples;
    if (s.empty() || s.back().frame >= lastFrame || s.back().frame <= lastFrame - stride)
        return;
    const cv::Point2d step = s.size() > 1 ? s.back().pitch - s[s.size() - 2].pitch : cv::Point2d();
    const double speed = track.speedsMps.back();
    while (s.back().frame < lastFrame) {
        s.push_back(
            { s.back().frame + 1, s.back().pitch + step, {}, CTrackSample::State::Predicted });
        track.speedsMps.push_back(speed);
    }
}

std::vector<CFinishedTrack> CTrackFinisher::finish(
    const std::vector<CTrackHistory>& histories, int lastFrame) const
{
    const CTrackSmoother smoother(fps);
    const int minSeen = std::max(3, int(std::lround(kMinSeenS * fps / stride)));
    std::vector<CTrackHistory> kept;
    std::vector<CFinishedTrack> tracks;
    for (const CTrackHistory& h : histories) {
        const auto seen = std::count_if(h.samples.begin(), h.samples.end(),
            [](const CTrackSample& s) { return s.state == CTrackSample::State::Detected; });
        if (seen < minSeen)
            continue;
        CFinishedTrack t;
        t.id = h.id;
        t.samples = filled(h.samples);
        std::vector<cv::Point2d> raw;
        for (const CTrackSample& s : t.samples)
            raw.push_back(s.pitch);
        CTrackSmoother::Result smooth = smoother.smooth(raw);
        for (std::size_t i = 0; i < t.samples.size(); ++i)
            t.samples[i].pitch = smooth.positions[i];
        t.speedsMps = std::move(smooth.speedsMps);
        carryToEnd(t, lastFrame);
        t.distanceM = smoother.distance(t.speedsMps);
        kept.push_back(h);
        tracks.push_back(std::move(t));
    }
    assignTeams(kept, tracks);
    return tracks;
}

void CTrackFinisher::assignTeams(
    const std::vector<CTrackHistory>& kept, std::vector<CFinishedTrack>& tracks) const
{
    std::vector<cv::Vec3f> colours;
    for (const CTrackHistory& h : kept)
        colours.push_back(h.colour());
    const std::vector<int> teams = CTeamClassifier::classify(colours);
    double ySum[2] = { 0, 0 };
    long long yCount[2] = { 0, 0 };
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        if (teams[i] < 0)
            continue;
        for (const CTrackSample& s : tracks[i].samples)
            ySum[teams[i]] += s.pitch.y;
        yCount[teams[i]] += (long long)tracks[i].samples.size();
    }
    const double mean0 = yCount[0] ? ySum[0] / yCount[0] : 0;
    const double mean1 = yCount[1] ? ySum[1] / yCount[1] : 0;
    const int teamA = mean0 <= mean1 ? 0 : 1;
    for (std::size_t i = 0; i < tracks.size(); ++i)
        tracks[i].team = teams[i] < 0 ? 0 : (teams[i] == teamA ? 'A' : 'B');
}
