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

// Players are looked for in every stride-th frame, at least 12.5 times a
// second: a running player moves well under a metre between looks, and
// the frames between are filled in on the line between two sightings
// (state interpolated) before smoothing. At 25 fps it halves the work.
int detectionStride(double fps)
{
    constexpr double kLeastLooksPerSecond = 12.5;
    return std::max(1, int(std::floor(fps / kLeastLooksPerSecond + 1e-9)));
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

// Reads the rest of the video after `first` (frame 0), looking for the
// players in every stride-th frame: the reader thread decodes and
// reduces; this one separates what moves and finds and follows the
// players in it. The background model is the largest part of
// the work, and the decoder's own threads keep the second core busy.
// Fills in the report's frames and tracks; false when the progress
// callback cancelled.
bool CVideoTracker::follow(cv::VideoCapture& capture, cv::Mat first, CPlayerDetector& detector,
    int stride, const Progress& progress, Report& report)
{
    const long long total = std::max(0LL, std::llround(capture.get(cv::CAP_PROP_FRAME_COUNT)));
    long long reported = 0;
    // Every frame is reported, the ones decoded only with the next one
    // analysed.
    const auto goOn = [&](long long done) {
        for (; progress && reported < done; ++reported)
            if (!progress(reported + 1, total))
                return false;
        return true;
    };
    CPlayerTracker tracker(report.fps / stride);
    cv::Mat small = detector.reduce(first);
    first.release();
    CFrameReader<cv::Mat> reader(
        capture, [&detector](const cv::Mat& decoded) { return detector.reduce(decoded); },
        [](const cv::Mat& m) { return m.empty(); }, 1, stride);
    long long at = 0; // the frame of `small`
    do {
        tracker.update(int(at), detector.detectReduced(small, tracker.expected()));
        if (!goOn(at + 1))
            return false;
    } while (reader.next(small, at));
    report.frames = reader.frames();
    if (!goOn(report.frames))
        return false;
    const int settled = detector.settledFrames() * stride;
    report.tracks = CTrackFinisher(report.fps, stride)
                        .finish(withoutWarmUp(tracker.finish(), settled, report.frames),
                            int(report.frames) - 1);
    return true;
}

CVideoTracker::Report CVideoTracker::run(const Job& job, const Progress& progress)
{
    cv::VideoCapture capture;
    if (!openVideo(job.video, capture))
        return failure(Outcome::CannotRead, job.video + " cannot be opened as a video");
    cv::Mat frame;
    if (!capture.read(frame) || frame.empty() || frame.type() != CV_8UC3)
        return failure(Outcome::CannotRead, job.video + " has no readable frame");
    Report report;
    report.fps = capture.get(cv::CAP_PROP_FPS) > 0 ? capture.get(cv::CAP_PROP_FPS) : 25.0;
    const int stride = detectionStride(report.fps);
    auto detector = CPlayerDetector::create(
        job.geometry, job.width, job.length, frame.size(), report.fps / stride);
    if (!detector)
        return failure(Outcome::NoCalibration, "the calibration does not show the pitch");
    const std::string csvPart = job.csv + kPartSuffix;
    std::ofstream csv(csvPart, std::ios::binary | std::ios::trunc);
    if (!csv)
        return failure(Outcome::CannotWrite, job.csv + " cannot be written");
    sampleBackground(job.video, *detector);
    const bool done = follow(capture, std::move(frame), *detector, stride, progress, report);
    if (!done || !writeOutputs(job, report, csv, csvPart)) {
        csv.close();
        std::error_code ignored;
        std::filesystem::remove(csvPart, ignored);
        std::filesystem::remove(job.csv + ".json" + kPartSuffix, ignored);
        return done ? failure(Outcome::CannotWrite, job.csv + " cannot be written")
                    : failure(Outcome::Cancelled, "cancelled");
    }
    report.outcome = Outcome::Done;
    return report;
}
