#pragma once

#include "VistrelInterface.h"
#include "analysis/CLookupTable.h"
#include "analysis/CMotionAnalysis.h"
#include "analysis/CProbabilityMatrix.h"
#include "analysis/CSegmentation.h"
#include "core/CLogger.h"
#include "pitch/CField.h"
#include "pitch/CPitchGeometry.h"
#include "video/CFrameBufferPool.h"
#include "video/CFrameCache.h"
#include "video/CKeyframeIndex.h"

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <string>
#include <vector>

class CLiveTracker;

// The engine object. Its implementation is split by concern (paths below
// engine/src/):
//   core/VistrelLifecycle.cpp    construction, destruction, accessor slots,
//                                the pitch geometry the measuring functions use
//   core/VistrelSettings.cpp     the setters of playback and the analysis stages
//   core/VistrelMutex.cpp        the recursive robust mutex and its protocol
//   core/VistrelPlayback.cpp     Play, ThPause, ThStop, StopPlayback, frame hand-off
//   core/VistrelFrameOutput.cpp  DrawFieldLines, SetMousePointer
//   core/VistrelPipeline.cpp     ProcessImage and the analysis stages
//   video/VistrelVideoSource.cpp LoadVideo, Stop, Pause, capture queries, seeking
//   video/VistrelFrameSeek.cpp   showing, stepping and redrawing single frames
//   pitch/VistrelCalibration.cpp calibration assist on the current frame
//   pitch/VistrelCameraModel.cpp the lens and calibrating from known points
// The plain C functions that reach it live in api/.
//
// Threads: the host's GUI thread calls most slots, the host's worker thread
// runs Play. Everything the loop reads while the GUI writes it is atomic; the
// images, the pitch model and the colour table are guarded by the mutex.
class Vistrel final : public VistrelInterface
{
public:
    Vistrel();
    virtual ~Vistrel();
    Vistrel(const Vistrel&) = delete;
    Vistrel& operator=(const Vistrel&) = delete;

    int LoadVideo(const std::string& path) override;
    int Play() override;
    void ThPause() override;
    void ThStop() override;
    int Pause() override;
    int Stop() override;
    void StopPlayback() override;

    bool hasFrame() override;
    int getFrameWidth() override;
    int getFrameHeight() override;
    std::shared_ptr<unsigned char[]> exportFrame() override;

    double getFrameCount() override;
    double getFps() override;
    double getFramePosition() override;

    // The setters a host drives playback with also end the loop's sleep, so
    // that a tiny playback rate never keeps a request waiting.
    bool isStopped() override { return stopped; }
    void setStopped(bool value) override;
    bool isPaused() override { return paused; }
    void setPaused(bool value) override;
    bool isJumpForwardPending() override { return jumpForward; }
    void setJumpForward(bool value) override;
    bool isJumpBackPending() override { return jumpBack; }
    void setJumpBack(bool value) override;
    bool isPlayFinished() override { return playFinished; }
    void setPlayFinished(bool value) override { playFinished = value; }

    bool isProcessingEnabled() override { return processingEnabled; }
    void setProcessingEnabled(bool value) override;
    bool isFilterEnabled() override { return filterEnabled; }
    void setFilterEnabled(bool value) override;
    bool isColourClassificationEnabled() override { return colourClassificationEnabled; }
    void setColourClassificationEnabled(bool value) override;
    bool isColourSegmentationEnabled() override { return colourSegmentationEnabled; }
    void setColourSegmentationEnabled(bool value) override;
    bool isShowClassifiedColoursEnabled() override { return showClassifiedColoursEnabled; }
    void setShowClassifiedColoursEnabled(bool value) override;
    bool isProbabilityThresholdEnabled() override { return probabilityThresholdEnabled; }
    void setProbabilityThresholdEnabled(bool value) override;
    bool isMotionAnalysisEnabled() override { return motionAnalysisEnabled; }
    void setMotionAnalysisEnabled(bool value) override;
    bool isMotionDifferenceSelected() override { return motionDifferenceSelected; }
    void setMotionDifferenceSelected(bool value) override;
    bool isSpareFlagEnabled() override { return spareFlag; }
    void setSpareFlagEnabled(bool value) override;
    bool isColourThresholdEnabled() override { return colourThresholdEnabled; }
    void setColourThresholdEnabled(bool value) override;
    bool isShowColourMaskEnabled() override { return showColourMaskEnabled; }
    void setShowColourMaskEnabled(bool value) override;
    bool isBlobDetectionEnabled() override { return blobDetectionEnabled; }
    void setBlobDetectionEnabled(bool value) override;

    // The pitch model is drawn by the loop on the worker thread, so every
    // change to it from the GUI thread is serialised with the mutex.
    float getFieldWidth() override;
    void setFieldWidth(float value) override;
    float getFieldLength() override;
    void setFieldLength(float value) override;
    float getCentreCircleRadius() override;
    void setCentreCircleRadius(float value) override;
    int getTopPointsLeft() override;
    void setTopPointsLeft(int value) override;
    int getBottomPointsLeft() override;
    void setBottomPointsLeft(int value) override;
    int addFieldPoint(int which, int x, int y) override;
    int setGameCentre(int x, int y) override;
    int pickColour(int x, int y, bool apply) override;
    void clearFieldPoints() override;

    int getPosition() override { return positionMs; }
    void setMouseX(int value) override { mouseX = value; }
    void setMouseY(int value) override { mouseY = value; }
    int getJumpStep() override { return jumpStepMs; }
    void setJumpStep(int value) override { jumpStepMs = value; }
    float getPlaybackRate() override { return playbackRate; }
    void setPlaybackRate(float value) override;
    float getDelayFactor() override { return delayFactor; }
    void setDelayFactor(float value) override;
    int getColourThreshold() override { return colourThreshold; }
    void setColourThreshold(int value) override;
    float getBlobMaxEmptyPercent() override { return blobMaxEmptyPercent; }
    void setBlobMaxEmptyPercent(float value) override;
    int getBlobWindowWidth() override { return blobWindowWidth; }
    void setBlobWindowWidth(int value) override;
    int getBlobWindowHeight() override { return blobWindowHeight; }
    void setBlobWindowHeight(int value) override;
    float getBlobMinFillPercent() override { return blobMinFillPercent; }
    void setBlobMinFillPercent(float value) override;
    void clearColourTable() override;

    std::vector<FieldLine> getFieldLines() override;
    std::vector<FieldLine> getCentreLines() override;
    void setDrawFieldLines(bool value) override;

    // Not in the interface: the mutex primitives and the frame pipeline.
    void InitMutex();
    void Lock();
    bool UnLock();
    bool isBusy();
    void ProcessImage();
    void Filter();
    void ColourClassification();
    void DrawFieldLines();
    int SetMousePointer(int x, int y);

    // The frame index a seek to targetMs goes to at the given frame rate:
    // trunc(trunc(targetMs * fps) / 1000).
    static int frameIndexForTime(int targetMs, float fps);

    // The sleep after a pass of the playback loop, in microseconds:
    // ((1 / playbackRate) - elapsedSeconds) x 1e6 x delayFactor, truncated
    // toward zero; 0 when negative, clamped where it would not fit an int.
    static int waitMicroseconds(float playbackRate, float delayFactor, std::int64_t elapsedSeconds);

    // For the measuring functions (api/VistrelMeasure.cpp): the geometry of the
    // current corners and dimensions, copied under the mutex and computed
    // after it is released; empty when not calibrated. The click sigma is
    // atomic; setting it refuses values CPitchGeometry does not accept.
    std::optional<CPitchGeometry> pitchGeometry();
    double getClickSigma() const { return clickSigmaPx; }
    // For the tracking functions (api/VistrelTracking.cpp): the path of the
    // open video, copied under the mutex; empty when no video is open.
    std::string openVideoPath();
    bool setClickSigma(double sigmaPx);

    // The live players (core/VistrelLivePlayers.cpp), behind the C functions
    // of VistrelTracking.h. Between a start and a stop the playback loop
    // hands each new frame it shows to the live tracker; without one it
    // does no tracking work. startLivePlayers: 0, or -1 without a video or
    // calibration. livePlayers: the tracker running (null when off).
    int startLivePlayers();
    void stopLivePlayers();
    std::shared_ptr<CLiveTracker> livePlayers();

    // Single frames (VistrelFrameSeek.cpp), behind the plain C functions of
    // VistrelFrames.h. seekFrame makes frame `index` the current frame and
    // shows it: directly while no loop runs, otherwise through the loop,
    // waiting for it to serve the request. 0 or -1.
    int seekFrame(long long index);
    int redrawFrame();
    long long currentFrameIndex() const { return frameIndex; }
    long long knownFrameTotal() const { return frameTotal; }
    // The frame cache's budget in bytes (VistrelFrameCache.h); 0 keeps no
    // frames.
    void setFrameCacheBytes(std::size_t bytes) { frameCache.setBudget(bytes); }
    std::size_t frameCacheBytes() const { return frameCache.budget(); }
    std::size_t cachedFrames() const { return frameCache.frames(); }
    // Waits until the keyframes of the open video are all known.
    void waitForKeyframeIndex() { keyframeIndex.waitForScan(); }
    // Counts the export pictures drawn; a host compares it with the value it
    // saw when it last fetched, without taking the mutex.
    unsigned long long frameSerial() const { return exportSerial; }

    // Calibration assist, behind the C functions of VistrelMeasure.h and
    // VistrelCalibration.h: each works on the current frame under the mutex
    // and returns 0, or -1 (outputs untouched) when it finds nothing, has no
    // frame, or needs a calibration that is not there.
    int snapToLines(double px, double py, double radiusPx, double* sx, double* sy);
    int estimateDimensions(double* length, double* width);
    int calibrationFit(double* meanPx);
    int judgeCalibration(
        double circleRadiusM, double* meanPx, double* cornerPx, double* paintedRadiusM);
    int findCorners(double* corners);

    // The camera model, behind the C functions of VistrelCamera.h
    // (pitch/VistrelCameraModel.cpp). Each works under the mutex; a refusal
    // (-1, or empty) changes nothing.
    int calibrateFromPoints(const std::vector<cv::Point2d>& picture,
        const std::vector<cv::Point2d>& pitch, double* rmsPx);
    int setLensDistortion(double k1, double k2, cv::Point2d centre);
    // Empty without a video.
    std::optional<CLensModel> lensDistortion();
    // Estimates the lens on the current frame and sets it.
    std::optional<CLensModel> estimateLensDistortion();
    // The straightness of the painted lines through the lens of the last
    // estimate while that lens is in place; empty otherwise.
    std::optional<double> lensStraightness();

    // Switches the trace file on; only the library itself (and its tests)
    // may do so.
    void enableTracing(bool value) { logger->setEnabled(value); }

private:
    // Lets the unit tests reach the frame reader and the fields it sets.
    friend struct VistrelTestAccess;

    // Acquire: isBusy until it returns false. Release completely: UnLock
    // until a release fails.
    void acquire();
    void releaseCompletely();
    void trace(const char* operation, const char* message);
    // Waits for the mutex; true when obtained, also from an owner that ended.
    bool waitForMutex();
    // Whether the calling thread holds the mutex (the loop calling Stop).
    bool ownsMutex() const;

    // Holds the mutex for a scope: acquire on entry, release completely on
    // exit (also when the scope is left by an exception).
    class MutexHold
    {
    public:
        explicit MutexHold(Vistrel& owner);
        ~MutexHold();
        MutexHold(const MutexHold&) = delete;
        MutexHold& operator=(const MutexHold&) = delete;

    private:
        Vistrel& engine;
    };

    // Makes `lens` the engine's lens, refitting the calibration's picture
    // points through it; false (nothing changed) when they define no
    // calibration through it.
    bool applyLens(const CLensModel& lens);
    // After a video is opened: the lens stays for a picture of the same
    // size and becomes the pinhole camera otherwise.
    void adoptLensFor(cv::Size picture);

    // Positions the capture on the frame that targetMs falls in; false when
    // the capture refuses.
    bool seekToTime(int targetMs);
    // Reads the next frame into `frame` (8-bit BGR at the reported frame
    // size) and sets positionMs from its index; false at the end of the
    // video, without a capture, or when OpenCV fails.
    bool readFrame();
    // Replaces `capture` with a fresh one on videoPath (null when that
    // fails) and republishes what the query slots report.
    void reopenCapture();
    void publishCaptureInfo();

    // Single frames (VistrelFrameSeek.cpp). showFrameAt reads frame `index`
    // exactly (the last one the video has when it lies past the end) and
    // renders it; servePendingSeek does so for a request a host handed to
    // the loop and tells whether there was one.
    bool showFrameAt(long long index);
    bool moveToFrame(long long index, bool toLastFrame);
    bool decodeTo(long long target, bool toLastFrame);
    long long readAheadTo(long long target) const;
    bool fillBackTo(long long target);
    bool readAfterCachedFrame();
    void adoptFrame(cv::Mat& decoded, long long index);
    bool servePendingSeek();
    void withdrawSeek(unsigned ticket);
    bool renderCurrentFrame();
    void noteHostRequest();
    // Something the paused loop must draw anew: the pitch model, the colour
    // table, a stage switch or a stage parameter.
    void notePictureChange();
    void wakeLoop();

    // The playback loop (VistrelPlayback.cpp).
    bool playPass();
    bool renderPass(unsigned changes);
    bool jumpBy(std::int64_t offsetMs);
    bool nextFrame();
    bool frameUsable() const;
    void prepareDisplayImage();
    void letWaitersIn(unsigned acquisitionsAtRelease);
    void sleepUntilDue(std::int64_t periodUs, unsigned requests);
    void waitForChange(unsigned requests, unsigned changes);
    bool pausedPictureCurrent(unsigned changes) const;
    void endPlayback();
    std::vector<FieldLine> copyLines(std::vector<FieldLine> (CField::*getter)());
    void renderPendingExport();
    // Under the mutex: the live tracker and the reduced copy of a frame it
    // has not seen yet (tracker null when there is nothing to feed). The
    // loop feeds it after letting go of the mutex.
    struct LiveFrame
    {
        std::shared_ptr<CLiveTracker> tracker;
        cv::Mat reduced;
        long long index = -1;
    };
    LiveFrame takeLiveFrame();
    void feedLive(const LiveFrame& live);

    // Steps of ProcessImage (VistrelPipeline.cpp).
    void SegmentColourMask();
    void AnalyseMotion();
    void MarkBlobs(const cv::Mat& probability);

    std::atomic<int> positionMs { 0 };
    std::atomic<int> jumpStepMs { 100 };
    std::atomic<float> captureFps { 0.0f };
    std::atomic<float> delayFactor { 0.8f };
    std::atomic<int> mouseX { 0 };
    std::atomic<int> mouseY { 0 };
    std::shared_ptr<unsigned char[]> exportBuffer;
    // Recycles the buffers exportFrame hands out (VistrelPlayback.cpp).
    std::shared_ptr<CFrameBufferPool> exportPool = std::make_shared<CFrameBufferPool>();
    std::atomic<bool> paused { false };
    std::atomic<bool> stopped { true };
    std::atomic<bool> playFinished { false };
    std::atomic<bool> jumpForward { false };
    std::atomic<bool> jumpBack { false };
    // Play calls on any thread that have not returned yet; StopPlayback
    // waits for this to drop to zero.
    std::atomic<int> runningLoops { 0 };
    // Threads inside acquire(), and how often acquire() has obtained the
    // mutex: the loop lets those waiting in between its passes.
    std::atomic<int> mutexWaiters { 0 };
    std::atomic<unsigned> mutexAcquisitions { 0 };
    std::atomic<bool> processingEnabled { false };
    std::atomic<int> colourThreshold { 0 };
    std::atomic<int> blobWindowHeight { 0 };
    std::atomic<int> blobWindowWidth { 0 };
    std::atomic<float> blobMaxEmptyPercent { 0.0f };
    std::atomic<float> blobMinFillPercent { 0.0f };
    std::atomic<bool> filterEnabled { false };
    std::atomic<bool> colourClassificationEnabled { false };
    std::atomic<bool> probabilityThresholdEnabled { false };
    std::atomic<bool> showColourMaskEnabled { false };
    std::atomic<bool> motionAnalysisEnabled { false };
    std::atomic<bool> motionDifferenceSelected { false };
    std::atomic<bool> showClassifiedColoursEnabled { false };
    std::atomic<bool> colourSegmentationEnabled { false };
    std::atomic<bool> spareFlag { false };
    std::atomic<bool> colourThresholdEnabled { false };
    std::atomic<bool> blobDetectionEnabled { false };
    CLookupTable lookupTable;
    CField field;
    // The points of the last calibration from known points, refitted when
    // the lens changes while the corners still come from them.
    struct KnownPoints
    {
        std::vector<cv::Point2d> picture;
        std::vector<cv::Point2d> pitch;
    };
    std::optional<KnownPoints> knownPoints;
    std::optional<double> estimatedStraightnessPx;
    std::atomic<double> clickSigmaPx { 1.0 };
    std::string videoPath;
    std::atomic<float> playbackRate { 25.0f };
    std::unique_ptr<cv::VideoCapture> capture;
    cv::Mat frame;
    cv::Mat outputImage;
    cv::Mat exportImage;
    // When the picture on display is the frame itself, the export picture
    // is converted and drawn only when a host fetches it (exportPending):
    // a loop that plays faster than anyone looks skips both.
    cv::Mat exportSource;
    bool exportPending = false;
    cv::Mat grayPrevious;
    cv::Mat grayBeforePrevious;
    std::atomic<bool> captureOpen { false };
    // What the query slots report, published by the thread that owns the
    // capture so that the GUI never touches the capture while the loop reads.
    cv::Size deliveredSize; // of the frames the open video decodes to
    std::atomic<int> frameWidth { 0 };
    std::atomic<int> frameHeight { 0 };
    std::atomic<double> frameCount { 0.0 };
    std::atomic<double> reportedFps { 0.0 };
    std::atomic<double> framePosition { 0.0 };
    bool frameProcessed = false;
    // The frames decoded last, and the keyframes of the open video (both
    // VistrelFrameSeek.cpp). cacheServedFrame: the current frame came from
    // the cache, so the capture is not right after it.
    CFrameCache frameCache;
    CKeyframeIndex keyframeIndex;
    bool cacheServedFrame = false;
    // When the loop's next pass is due (VistrelPlayback.cpp).
    std::chrono::steady_clock::time_point passDue;
    // The index of `frame` (-1 without one) and the frame count as far as
    // reading has shown it: the container's, corrected where reading met
    // the real end (-1: not known, or no video).
    std::atomic<long long> frameIndex { -1 };
    std::atomic<long long> frameTotal { -1 };
    // Counts the host's playback requests; the loop's sleep ends when it
    // changes.
    std::atomic<unsigned> hostRequests { 0 };
    // Counts the changes of what the picture is drawn from (notePictureChange);
    // pictureChangesDrawn is the count the loop last drew with, -1 before its
    // first pass.
    std::atomic<unsigned> pictureChanges { 0 };
    long long pictureChangesDrawn = -1;
    // The loop's sleep waits on this; requests and changes notify it.
    std::mutex wakeMutex;
    std::condition_variable wakeCondition;
    // Incremented with every export picture drawn (DrawFieldLines, a new
    // black picture for a new video).
    std::atomic<unsigned long long> exportSerial { 0 };
    // A seek handed to the running loop, guarded by the mutex: the frame,
    // the tickets of the latest request posted and served, and the result
    // of the last one served.
    long long requestedFrame = 0;
    unsigned seeksPosted = 0;
    unsigned seeksServed = 0;
    int servedSeekResult = -1;
    // Guarded by the mutex: the live tracker, and the last one the loop fed
    // with the index of the frame it fed it.
    std::shared_ptr<CLiveTracker> liveTracker;
    std::weak_ptr<CLiveTracker> lastFedTracker;
    long long liveFedIndex = -1;
    CMotionAnalysis motionAnalysis;
    CSegmentation colourSegmentation;
    CSegmentation blobSegmentation;
    CProbabilityMatrix probabilityMatrix;
    pthread_mutex_t mutex;
    // Who holds the mutex and how often, kept beside it so that a release by
    // a thread that does not hold it is refused without calling into the
    // mutex (race detectors count such a call as misuse). The depth is only
    // touched by the owner.
    std::atomic<pid_t> mutexOwner { 0 };
    int mutexDepth = 0;
    std::shared_ptr<CLogger> logger;
};
