#include "tracking/CVideoTracker.h"

#include "tracking/CFrameReader.h"
#include "tracking/CPlayerDetector.h"
#include "tracking/CPlayerTracker.h"
#include "tracking/CTracksCsvWriter.h"
#include "video/CKeyframeIndex.h"

#include <opencv2/videoio.hpp>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

constexpr const char* kLocalFilePrefix = "file:";
constexpr const char* kPartSuffix = ".part";

bool openVideo(const std::string& path, cv::VideoCapture& capture)
{
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(path), error)
        && capture.open(kLocalFilePrefix + path, cv::CAP_FFMPEG) && capture.isOpened();
}

bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return bool(out);
}

// Writes both files beside their targets, then renames them in place.
bool writeOutputs(const CVideoTracker::Job& job, const CVideoTracker::Report& report,
    std::ofstream& csv, const std::string& csvPart)
{
    CTracksCsvWriter::write(csv, report.tracks, report.fps);
    csv.close();
    const std::string jsonPath = job.csv + ".json", jsonPart = jsonPath + kPartSuffix;
    const CTracksCsvWriter::Sidecar facts { job.video, report.fps, report.frames, job.length,
        job.width, job.corners };
    std::error_code error;
    if (!csv || !writeFile(jsonPart, CTracksCsvWriter::sidecar(facts)))
        return false;
    std::filesystem::rename(csvPart, job.csv, error);
    if (!error)
        std::filesystem::rename(jsonPart, jsonPath, error);
    return !error;
}

// Tracks seen only while the background model settled are what it had
// not learnt yet (lines, light), not players: a player present from the
// start is still seen after it. A video no longer than that keeps them all.
std::vector<CTrackHistory> withoutWarmUp(
    std::vector<CTrackHistory> histories, int settledFrames, long long frames)
{
    if (frames <= settledFrames)
        return histories;
    std::erase_if(histories, [settledFrames](const CTrackHistory& h) {
        return h.samples.empty() || h.samples.back().frame < settledFrames;
    });
    return histories;
}

// Where to read the background sample meant for frame `target`. A seek
// with OpenCV goes to the keyframe a little before the frame asked for
// (kSeekLead frames) and decodes on from there: asked for exactly that far
// after a keyframe, it decodes only those frames instead of a whole group
// from the keyframe before. Without known keyframes, the target itself.
long long sampleFrame(const CKeyframeIndex& keyframes, long long target, long long total)
{
    constexpr long long kSeekLead = 16;
    const long long keyframe = keyframes.atOrBefore(target);
    return keyframe < 0 ? target : std::min(keyframe + kSeekLead, total - 1);
}

CVideoTracker::Report failure(CVideoTracker::Outcome outcome, const std::string& error)
{
    CVideoTracker::Report report;
    report.outcome = outcome;
    report.error = error;
    return report;
}

} // namespace

// Frames spread evenly over the video (the first ones when its length is
// unknown) for the empty-pitch background.
void CVideoTracker::sampleBackground(const std::string& path, CPlayerDetector& detector)
{
    cv::VideoCapture capture;
    if (!openVideo(path, capture))
        return;
    const long long total = std::max(0LL, std::llround(capture.get(cv::CAP_PROP_FRAME_COUNT)));
    CKeyframeIndex keyframes;
    if (total > kBackgroundSamples) {
        keyframes.scan(path);
        keyframes.waitForScan();
    }
    cv::Mat frame;
    long long next = 0; // the frame the capture reads next
    for (int k = 0; k < kBackgroundSamples; ++k) {
        if (total > kBackgroundSamples) {
            const long long at
                = sampleFrame(keyframes, (total - 1) * k / (kBackgroundSamples - 1), total);
            // Samples meant for one stretch between keyframes fall on the
            // same frame: it is taken again rather than read again.
            if (at == next - 1 && !frame.empty()) {
                detector.addBackgroundSample(frame);
                continue;
            }
            if (at < next || (at > next && !keyframes.decodeOnReaches(next, at))) {
                capture.set(cv::CAP_PROP_POS_FRAMES, double(at));
                next = at;
            }
            for (; next < at && capture.grab(); ++next) { }
        }
        if (!capture.read(frame) || frame.empty())
            break;
        ++next;
        detector.addBackgroundSample(frame);
    }
    detector.primeBackground();
}

CVideoTracker::Report CVideoTracker::run(const Job& job, const Progress& progress)
{
    cv::VideoCapture capture;
    if (!openVideo(job.video, capture))
        return failure(Outcome::CannotRead, job.video + " cannot be opened as a video");
    cv::Mat frame;
    if (!capture.read(frame) || frame.empty() || frame.type() != CV_8UC3)
        return failure(Outcome::CannotRead, job.video + " has no readable frame");
    const double fps = capture.get(cv::CAP_PROP_FPS) > 0 ? capture.get(cv::CAP_PROP_FPS) : 25.0;
    const long long total = std::max(0LL, std::llround(capture.get(cv::CAP_PROP_FRAME_COUNT)));
    auto detector = CPlayerDetector::create(job.geometry, job.width, job.length, frame.size(), fps);
    if (!detector)
        return failure(Outcome::NoCalibration, "the calibration does not show the pitch");
    const std::string csvPart = job.csv + kPartSuffix;
    std::ofstream csv(csvPart, std::ios::binary | std::ios::trunc);
    if (!csv)
        return failure(Outcome::CannotWrite, job.csv + " cannot be written");
    sampleBackground(job.video, *detector);

    CPlayerTracker tracker(fps);
    Report report;
    report.fps = fps;
    // The reader thread decodes, reduces and separates what moves; this one
    // finds and follows the players in it.
    using Work = CPlayerDetector::Work;
    CPlayerDetector& stages = *detector;
    Work work = stages.separate(stages.reduce(frame));
    frame.release();
    CFrameReader<Work> reader(
        capture, [&stages](const cv::Mat& decoded) { return stages.separate(stages.reduce(decoded)); },
        [](const Work& w) { return w.frame.empty(); });
    do {
        if (work.frame.empty())
            break;
        tracker.update(int(report.frames), stages.detectIn(work, tracker.expected()));
        ++report.frames;
        if (progress && !progress(report.frames, total)) {
            csv.close();
            std::error_code ignored;
            std::filesystem::remove(csvPart, ignored);
            return failure(Outcome::Cancelled, "cancelled");
        }
    } while (reader.next(work));
    report.tracks = CTrackFinisher(fps).finish(
        withoutWarmUp(tracker.finish(), detector->settledFrames(), report.frames));
    if (!writeOutputs(job, report, csv, csvPart)) {
        std::error_code ignored;
        std::filesystem::remove(csvPart, ignored);
        std::filesystem::remove(job.csv + ".json" + kPartSuffix, ignored);
        return failure(Outcome::CannotWrite, job.csv + " cannot be written");
    }
    report.outcome = Outcome::Done;
    return report;
}
