#pragma once

// The Vistrel vision engine as its hosts see it.
//
// Hosts load libVistrel.so at run time, look up GetVistrelInterface with
// dlsym, call it once and from then on reach the engine only through the
// virtual operations below. Hosts call by vtable slot, so the order of the
// declarations is binding: never reorder, insert or remove one. The trailing
// comments give the slot numbers.
//
// Nothing throws across this boundary; operations report through their
// results (0 success, -1 failure or not possible in the current state).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#define VISTREL_EXPORT __attribute__((visibility("default")))

// A line segment in video pixel coordinates (origin top left, y downwards).
struct FieldLine
{
    std::int32_t x1, y1, x2, y2;
};

class VISTREL_EXPORT VistrelInterface
{
public:
    // Video source and playback. Play runs the playback loop on the calling
    // thread (the host's worker thread) until the video ends or is stopped;
    // the others are called from the GUI thread.
    virtual int LoadVideo(const std::string& path) = 0; //  0
    virtual int Play() = 0; //  1
    virtual void ThPause() = 0; //  2
    virtual void ThStop() = 0; //  3
    virtual int Pause() = 0; //  4
    virtual int Stop() = 0; //  5
    virtual void StopPlayback() = 0; //  6

    // Frame hand-off. exportFrame returns a packed copy of the current
    // picture: getFrameWidth() x getFrameHeight() x 3 bytes, R, G, B, rows top
    // to bottom without padding (320 x 240 before any video is opened).
    virtual bool hasFrame() = 0; //  7
    virtual int getFrameWidth() = 0; //  8
    virtual int getFrameHeight() = 0; //  9
    virtual std::shared_ptr<unsigned char[]> exportFrame() = 0; // 10

    // Capture queries; 0 without an open video.
    virtual double getFrameCount() = 0; // 11
    virtual double getFps() = 0; // 12
    virtual double getFramePosition() = 0; // 13

    // Playback flags, shared with the loop without the lock.
    virtual bool isStopped() = 0; // 14
    virtual void setStopped(bool) = 0; // 15
    virtual bool isPaused() = 0; // 16
    virtual void setPaused(bool) = 0; // 17
    virtual bool isJumpForwardPending() = 0; // 18
    virtual void setJumpForward(bool) = 0; // 19
    virtual bool isJumpBackPending() = 0; // 20
    virtual void setJumpBack(bool) = 0; // 21
    virtual bool isPlayFinished() = 0; // 22
    virtual void setPlayFinished(bool) = 0; // 23

    // Switches of the image-analysis stages; all off after construction.
    virtual bool isProcessingEnabled() = 0; // 24
    virtual void setProcessingEnabled(bool) = 0; // 25
    virtual bool isFilterEnabled() = 0; // 26
    virtual void setFilterEnabled(bool) = 0; // 27
    virtual bool isColourClassificationEnabled() = 0; // 28
    virtual void setColourClassificationEnabled(bool) = 0; // 29
    virtual bool isColourSegmentationEnabled() = 0; // 30
    virtual void setColourSegmentationEnabled(bool) = 0; // 31
    virtual bool isShowClassifiedColoursEnabled() = 0; // 32
    virtual void setShowClassifiedColoursEnabled(bool) = 0; // 33
    virtual bool isProbabilityThresholdEnabled() = 0; // 34
    virtual void setProbabilityThresholdEnabled(bool) = 0; // 35
    virtual bool isMotionAnalysisEnabled() = 0; // 36
    virtual void setMotionAnalysisEnabled(bool) = 0; // 37
    virtual bool isMotionDifferenceSelected() = 0; // 38
    virtual void setMotionDifferenceSelected(bool) = 0; // 39
    virtual bool isSpareFlagEnabled() = 0; // 40
    virtual void setSpareFlagEnabled(bool) = 0; // 41
    virtual bool isColourThresholdEnabled() = 0; // 42
    virtual void setColourThresholdEnabled(bool) = 0; // 43
    virtual bool isShowColourMaskEnabled() = 0; // 44
    virtual void setShowColourMaskEnabled(bool) = 0; // 45
    virtual bool isBlobDetectionEnabled() = 0; // 46
    virtual void setBlobDetectionEnabled(bool) = 0; // 47

    // Pitch model: real dimensions and the corner counters.
    virtual float getFieldWidth() = 0; // 48
    virtual void setFieldWidth(float) = 0; // 49
    virtual float getFieldLength() = 0; // 50
    virtual void setFieldLength(float) = 0; // 51
    virtual float getCentreCircleRadius() = 0; // 52
    virtual void setCentreCircleRadius(float) = 0; // 53
    virtual int getTopPointsLeft() = 0; // 54
    virtual void setTopPointsLeft(int) = 0; // 55
    virtual int getBottomPointsLeft() = 0; // 56
    virtual void setBottomPointsLeft(int) = 0; // 57

    // Points in video pixels: corners (which = 0 top, 1 bottom), the game
    // centre, a colour pick for the lookup table.
    virtual int addFieldPoint(int which, int x, int y) = 0; // 58
    virtual int setGameCentre(int x, int y) = 0; // 59
    virtual int pickColour(int x, int y, bool apply) = 0; // 60
    virtual void clearFieldPoints() = 0; // 61

    // Position in milliseconds and the mouse pointer.
    virtual int getPosition() = 0; // 62
    virtual void setMouseX(int) = 0; // 63
    virtual void setMouseY(int) = 0; // 64

    // Playback parameters: jump length (ms), pacing rate (fps), delay factor.
    virtual int getJumpStep() = 0; // 65
    virtual void setJumpStep(int) = 0; // 66
    virtual float getPlaybackRate() = 0; // 67
    virtual void setPlaybackRate(float) = 0; // 68
    virtual float getDelayFactor() = 0; // 69
    virtual void setDelayFactor(float) = 0; // 70

    // Parameters of the colour threshold and the blob detection.
    virtual int getColourThreshold() = 0; // 71
    virtual void setColourThreshold(int) = 0; // 72
    virtual float getBlobMaxEmptyPercent() = 0; // 73
    virtual void setBlobMaxEmptyPercent(float) = 0; // 74
    virtual int getBlobWindowWidth() = 0; // 75
    virtual void setBlobWindowWidth(int) = 0; // 76
    virtual int getBlobWindowHeight() = 0; // 77
    virtual void setBlobWindowHeight(int) = 0; // 78
    virtual float getBlobMinFillPercent() = 0; // 79
    virtual void setBlobMinFillPercent(float) = 0; // 80
    virtual void clearColourTable() = 0; // 81

    // Pitch lines in video pixels, copied under the engine's lock: outline
    // and grid; line through the game centre and the centre circle. Empty
    // until four corners and a centre are known.
    virtual std::vector<FieldLine> getFieldLines() = 0; // 82
    virtual std::vector<FieldLine> getCentreLines() = 0; // 83
    virtual void setDrawFieldLines(bool) = 0; // 84
};

// Creates a new engine; null when it cannot be allocated. The host keeps it
// for the life of the process.
extern "C" VISTREL_EXPORT VistrelInterface* GetVistrelInterface();
