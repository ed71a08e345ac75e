#include "tracking/CPlayerTracker.h"

#include "tracking/CAssignment.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kAccelerationSigmaMps2 = 4.0; // how sharply players change pace
constexpr double kMeasurementSigmaM = 0.15;
constexpr double kStartSpeedSigmaMps = 3.0;
constexpr int kConfirmHits = 3;
// A track only ever seen as weak sightings (a small or faint player, or
// noise) needs this long seen without a break before it counts.
constexpr double kWeakConfirmS = 1.0;
constexpr int kTentativeMisses = 2;
constexpr double kForbidden = 1e9;
// The gate widens by this share per missed frame, up to kMaxGateGrowth
// times, as the prediction of an unseen player grows uncertain.
constexpr double kGateGrowthPerMiss = 0.1;
constexpr double kMaxGateGrowth = 2.5;
// A detection this close to a track already matched is part of that
// player (an over-split blob), never a new one.
constexpr double kDuplicateM = 0.9;

} // namespace

void CTrackHistory::addColour(const cv::Vec3f& colour)
{
    if (colourSeen++ % colourStride != 0)
        return;
    colours.push_back(colour);
    if (colours.size() < kMaxColours)
        return;
    for (std::size_t i = 0; i < colours.size() / 2; ++i)
        colours[i] = colours[2 * i];
    colours.resize(colours.size() / 2);
    colourStride *= 2;
}

cv::Vec3f CTrackHistory::colour() const
{
    cv::Vec3f out;
    if (colours.empty())
        return out;
    std::vector<float> channel(colours.size());
    for (int c = 0; c < 3; ++c) {
        for (std::size_t i = 0; i < colours.size(); ++i)
            channel[i] = colours[i][c];
        std::nth_element(channel.begin(), channel.begin() + channel.size() / 2, channel.end());
        out[c] = channel[channel.size() / 2];
    }
    return out;
}

CPlayerTracker::CPlayerTracker(double fps)
    : dt(1.0 / (fps > 0 ? fps : 25.0))
    , memoryFrames(std::max(1, int(std::lround(kMemoryS / dt))))
    , shadowFrames(std::max(1, int(std::lround(kShadowS / dt))))
    , weakConfirmHits(std::max(kConfirmHits, int(std::lround(kWeakConfirmS / dt))))
{ }

CPlayerTracker::Track CPlayerTracker::start(int frame, const CPlayerDetection& d) const
{
    Track t;
    t.filter.init(4, 2, 0, CV_64F);
    t.filter.transitionMatrix
        = (cv::Mat_<double>(4, 4) << 1, 0, dt, 0, 0, 1, 0, dt, 0, 0, 1, 0, 0, 0, 0, 1);
    t.filter.measurementMatrix = (cv::Mat_<double>(2, 4) << 1, 0, 0, 0, 0, 1, 0, 0);
    const double q = kAccelerationSigmaMps2 * kAccelerationSigmaMps2;
    const double a = dt * dt * dt * dt / 4, b = dt * dt * dt / 2, c = dt * dt;
    t.filter.processNoiseCov
        = (cv::Mat_<double>(4, 4) << a, 0, b, 0, 0, a, 0, b, b, 0, c, 0, 0, b, 0, c) * q;
    t.filter.measurementNoiseCov
        = cv::Mat::eye(2, 2, CV_64F) * kMeasurementSigmaM * kMeasurementSigmaM;
    const double s2 = kStartSpeedSigmaMps * kStartSpeedSigmaMps;
    t.filter.errorCovPost = (cv::Mat_<double>(4, 4) << kMeasurementSigmaM * kMeasurementSigmaM, 0,
        0, 0, 0, kMeasurementSigmaM * kMeasurementSigmaM, 0, 0, 0, 0, s2, 0, 0, 0, 0, s2);
    t.filter.statePost = (cv::Mat_<double>(4, 1) << d.pitch.x, d.pitch.y, 0, 0);
    t.history.samples.push_back({ frame, d.pitch, d.picture, CTrackSample::State::Detected });
    t.history.addColour(d.colour);
    t.hits = 1;
    t.strong = !d.weak;
    return t;
}

void CPlayerTracker::predict()
{
    for (Track& t : tracks)
        t.filter.predict();
}

std::vector<cv::Point2d> CPlayerTracker::expected() const
{
    std::vector<cv::Point2d> out;
    out.reserve(tracks.size());
    for (const Track& t : tracks) {
        const cv::Mat& s = t.filter.statePost;
        out.emplace_back(
            s.at<double>(0) + s.at<double>(2) * dt, s.at<double>(1) + s.at<double>(3) * dt);
    }
    return out;
}

void CPlayerTracker::update(int frame, const std::vector<CPlayerDetection>& detections)
{
    predict();
    std::vector<char> trackFree(tracks.size(), 1), detectionFree(detections.size(), 1);
    pass(frame, detections, false, trackFree, detectionFree);
    pass(frame, detections, true, trackFree, detectionFree);
    for (std::size_t i = 0; i < tracks.size(); ++i)
        if (trackFree[i])
            miss(tracks[i], frame);
    for (std::size_t j = 0; j < detections.size(); ++j)
        if (detectionFree[j] && !nearTrack(detections[j].pitch, kDuplicateM))
            tracks.push_back(start(frame, detections[j]));
    dropShadows();
    retire();
}

// Matches the free tracks to the free detections of one kind.
void CPlayerTracker::pass(int frame, const std::vector<CPlayerDetection>& detections, bool weak,
    std::vector<char>& trackFree, std::vector<char>& detectionFree)
{
    std::vector<int> rows, cols;
    for (std::size_t i = 0; i < tracks.size(); ++i)
        if (trackFree[i])
            rows.push_back(int(i));
    for (std::size_t j = 0; j < detections.size(); ++j)
        if (detectionFree[j] && detections[j].weak == weak)
            cols.push_back(int(j));
    if (rows.empty() || cols.empty())
        return;
    cv::Mat_<double> cost(int(rows.size()), int(cols.size()));
    for (int r = 0; r < cost.rows; ++r) {
        const Track& t = tracks[rows[r]];
        const cv::Point2d predicted(
            t.filter.statePost.at<double>(0), t.filter.statePost.at<double>(1));
        const double gate = (weak ? kWeakGateM : kGateM)
            * std::min(kMaxGateGrowth, 1.0 + kGateGrowthPerMiss * t.misses);
        for (int c = 0; c < cost.cols; ++c) {
            const double d = cv::norm(detections[cols[c]].pitch - predicted);
            cost(r, c) = d < gate ? d : kForbidden;
        }
    }
    const std::vector<int> chosen = CAssignment::solve(cost, kForbidden);
    for (int r = 0; r < cost.rows; ++r) {
        if (chosen[r] < 0)
            continue;
        see(tracks[rows[r]], frame, detections[cols[chosen[r]]]);
        trackFree[rows[r]] = 0;
        detectionFree[cols[chosen[r]]] = 0;
    }
}

bool CPlayerTracker::nearTrack(cv::Point2d pitch, double radius) const
{
    return std::any_of(tracks.begin(), tracks.end(), [&](const Track& t) {
        return t.misses == 0 && cv::norm(t.history.samples.back().pitch - pitch) < radius;
    });
}

void CPlayerTracker::see(Track& t, int frame, const CPlayerDetection& d)
{
    t.filter.correct((cv::Mat_<double>(2, 1) << d.pitch.x, d.pitch.y));
    t.history.samples.push_back({ frame, d.pitch, d.picture, CTrackSample::State::Detected });
    if (!d.weak || !t.strong)
        t.history.addColour(d.colour);
    ++t.hits;
    t.misses = 0;
    t.strong = t.strong || !d.weak;
    if (!t.confirmed && t.hits >= (t.strong ? kConfirmHits : weakConfirmHits)) {
        t.confirmed = true;
        t.history.id = nextId++;
    }
}

void CPlayerTracker::miss(Track& t, int frame)
{
    ++t.misses;
    const cv::Point2d predicted(t.filter.statePost.at<double>(0), t.filter.statePost.at<double>(1));
    t.history.samples.push_back({ frame, predicted, {}, CTrackSample::State::Predicted });
}

// Of two tracks on one player the one seen more often is the player.
bool CPlayerTracker::shadows(const Track& t) const
{
    if (t.misses > 0)
        return false;
    const cv::Point2d at = t.history.samples.back().pitch;
    return std::any_of(tracks.begin(), tracks.end(), [&](const Track& other) {
        return &other != &t && other.misses == 0
            && (other.hits > t.hits || (other.hits == t.hits && other.history.id < t.history.id))
            && cv::norm(other.history.samples.back().pitch - at) < kShadowM;
    });
}

// A shadow's samples since it first sat on the older track were that
// player's; those before (if any) stay as a track of their own.
void CPlayerTracker::dropShadows()
{
    for (Track& t : tracks)
        t.shadowed = shadows(t) ? t.shadowed + 1 : 0;
    auto drop = [this](Track& t) {
        if (t.shadowed < shadowFrames)
            return false;
        if (t.confirmed) {
            auto& s = t.history.samples;
            s.resize(s.size() - std::min(s.size(), std::size_t(t.shadowed)));
            end(t);
        }
        return true;
    };
    tracks.erase(std::remove_if(tracks.begin(), tracks.end(), drop), tracks.end());
}

void CPlayerTracker::retire()
{
    auto gone = [this](Track& t) {
        if (t.confirmed && t.misses > memoryFrames) {
            end(t);
            return true;
        }
        return !t.confirmed && t.misses >= kTentativeMisses;
    };
    tracks.erase(std::remove_if(tracks.begin(), tracks.end(), gone), tracks.end());
}

// The samples after the last sighting were guesses that no sighting
// confirmed: the player left or was lost.
void CPlayerTracker::end(Track& t)
{
    auto& s = t.history.samples;
    while (!s.empty() && s.back().state != CTrackSample::State::Detected)
        s.pop_back();
    if (!s.empty())
        ended.push_back(std::move(t.history));
}

std::vector<CPlayerTracker::Live> CPlayerTracker::live() const
{
    std::vector<Live> out;
    for (const Track& t : tracks)
        if (t.confirmed)
            out.push_back({ t.history.id, t.history.samples.back(),
                std::hypot(t.filter.statePost.at<double>(2), t.filter.statePost.at<double>(3)),
                t.history.colour() });
    std::sort(out.begin(), out.end(), [](const Live& a, const Live& b) { return a.id < b.id; });
    return out;
}

// Dropping a shadow cuts as many samples as it sat on the older track, and
// ending a track cuts its predictions: the newest samples kept cover both.
void CPlayerTracker::forgetHistory()
{
    ended.clear();
    const std::size_t keep = std::size_t(std::max(memoryFrames, shadowFrames)) + 2;
    for (Track& t : tracks) {
        auto& s = t.history.samples;
        if (s.size() > 2 * keep)
            s.erase(s.begin(), s.end() - std::ptrdiff_t(keep));
    }
}

std::vector<CTrackHistory> CPlayerTracker::finish()
{
    for (Track& t : tracks)
        if (t.confirmed)
            end(t);
    tracks.clear();
    std::vector<CTrackHistory> all = std::move(ended);
    ended.clear();
    std::sort(all.begin(), all.end(),
        [](const CTrackHistory& a, const CTrackHistory& b) { return a.id < b.id; });
    return all;
}
