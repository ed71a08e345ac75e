#include "tracking/CLiveTracker.h"

#include "tracking/CTeamClassifier.h"
#include "tracking/CVideoTracker.h"

#include <algorithm>
#include <climits>
#include <cmath>

std::unique_ptr<CLiveTracker> CLiveTracker::create(const std::string& video,
    const CPitchGeometry& geometry, double width, double length, cv::Size frameSize, double fps)
{
    const double rate = fps > 0 ? fps : 25.0;
    auto detector = CPlayerDetector::create(geometry, width, length, frameSize, rate);
    if (!detector)
        return nullptr;
    CVideoTracker::sampleBackground(video, *detector);
    return std::unique_ptr<CLiveTracker>(new CLiveTracker(std::move(*detector), geometry, rate));
}

CLiveTracker::CLiveTracker(CPlayerDetector detector, const CPitchGeometry& geometry, double fps)
    : fps(fps)
    , teamEveryFrames(std::max(1, int(std::lround(kTeamEveryS * fps))))
    , detector(std::move(detector))
    , geometry(geometry)
    , tracker(std::make_unique<CPlayerTracker>(fps))
{ }

cv::Mat CLiveTracker::reduce(const cv::Mat& bgr) const { return detector.reduce(bgr); }

void CLiveTracker::restart()
{
    idBase = highestId;
    tracker = std::make_unique<CPlayerTracker>(fps);
    teams.clear();
    framesSinceTeams = 0;
}

void CLiveTracker::feed(const cv::Mat& reduced, long long index)
{
    const std::lock_guard lock(feeding);
    if (reduced.empty() || index < 0)
        return;
    if (lastIndex >= 0 && index != lastIndex + 1)
        restart();
    lastIndex = index;
    // The tracker counts frames in an int; a live view never gets near its
    // end, but a video that long must not overflow it.
    const int frame = int(std::min<long long>(index, INT_MAX));
    tracker->update(frame, detector.detectReduced(reduced, tracker->expected()));
    tracker->forgetHistory();
    const std::vector<CPlayerTracker::Live> live = tracker->live();
    if (++framesSinceTeams >= teamEveryFrames || std::any_of(live.begin(), live.end(),
            [this](const CPlayerTracker::Live& l) { return !teams.count(l.id); })) {
        sortTeams(live);
        framesSinceTeams = 0;
    }
    std::vector<Player> now = players(live);
    for (const Player& p : now)
        highestId = std::max(highestId, p.id);
    const std::lock_guard hold(publishing);
    published = std::move(now);
    publishedIndex = index;
}

// Team A stands nearer the bottom edge, as in a whole-video run. Sorted
// afresh, the two clusters may come out the other way round: where most
// players would change team, the labels are swapped back, so a player's
// team does not flicker as the teams mingle.
void CLiveTracker::sortTeams(const std::vector<CPlayerTracker::Live>& live)
{
    std::vector<cv::Vec3f> colours;
    for (const auto& l : live)
        colours.push_back(l.colour);
    const std::vector<int> cluster = CTeamClassifier::classify(colours);
    double ySum[2] = { 0, 0 };
    int count[2] = { 0, 0 };
    for (std::size_t i = 0; i < live.size(); ++i)
        if (cluster[i] >= 0) {
            ySum[cluster[i]] += live[i].sample.pitch.y;
            ++count[cluster[i]];
        }
    const int first = (count[0] ? ySum[0] / count[0] : 0) <= (count[1] ? ySum[1] / count[1] : 0) ? 0 : 1;
    std::vector<char> fresh(live.size());
    int kept = 0, changed = 0;
    for (std::size_t i = 0; i < live.size(); ++i) {
        fresh[i] = cluster[i] < 0 ? 0 : (cluster[i] == first ? 'A' : 'B');
        const auto before = teams.find(live[i].id);
        if (fresh[i] && before != teams.end() && before->second)
            (before->second == fresh[i] ? kept : changed) += 1;
    }
    const bool swap = changed > kept;
    teams.clear();
    for (std::size_t i = 0; i < live.size(); ++i)
        teams[live[i].id] = swap && fresh[i] ? char('A' + 'B' - fresh[i]) : fresh[i];
}

std::vector<CLiveTracker::Player> CLiveTracker::players(
    const std::vector<CPlayerTracker::Live>& live) const
{
    std::vector<Player> out;
    out.reserve(live.size());
    for (const auto& l : live) {
        const auto team = teams.find(l.id);
        // A player not seen in this frame stands where the motion model
        // puts him, in the picture as on the pitch.
        cv::Point2d picture = l.sample.picture;
        if (l.sample.state != CTrackSample::State::Detected)
            picture = geometry.toPicture(l.sample.pitch).value_or(picture);
        out.push_back({ idBase + l.id, team == teams.end() ? char(0) : team->second, picture,
            l.sample.pitch, l.speedMps });
    }
    return out;
}

long long CLiveTracker::latest(std::vector<Player>& players) const
{
    const std::lock_guard lock(publishing);
    players = published;
    return publishedIndex;
}
