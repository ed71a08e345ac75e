#pragma once

#include "VistrelInterface.h"

// An engine the library did not make: every operation answers with a
// neutral value. The plain-C functions must refuse it rather than treat it
// as their own engine.
class ForeignEngine final : public VistrelInterface
{
public:
#define FOREIGN_PAIR(type, get, set)                                                               \
    type get() override { return type(); }                                                         \
    void set(type) override { }
    int LoadVideo(const std::string&) override { return -1; }
    int Play() override { return -1; }
    void ThPause() override { }
    void ThStop() override { }
    int Pause() override { return 0; }
    int Stop() override { return 0; }
    void StopPlayback() override { }
    bool hasFrame() override { return false; }
    int getFrameWidth() override { return 0; }
    int getFrameHeight() override { return 0; }
    std::shared_ptr<unsigned char[]> exportFrame() override { return nullptr; }
    double getFrameCount() override { return 0.0; }
    double getFps() override { return 0.0; }
    double getFramePosition() override { return 0.0; }
    FOREIGN_PAIR(bool, isStopped, setStopped)
    FOREIGN_PAIR(bool, isPaused, setPaused)
    FOREIGN_PAIR(bool, isJumpForwardPending, setJumpForward)
    FOREIGN_PAIR(bool, isJumpBackPending, setJumpBack)
    FOREIGN_PAIR(bool, isPlayFinished, setPlayFinished)
    FOREIGN_PAIR(bool, isProcessingEnabled, setProcessingEnabled)
    FOREIGN_PAIR(bool, isFilterEnabled, setFilterEnabled)
    FOREIGN_PAIR(bool, isColourClassificationEnabled, setColourClassificationEnabled)
    FOREIGN_PAIR(bool, isColourSegmentationEnabled, setColourSegmentationEnabled)
    FOREIGN_PAIR(bool, isShowClassifiedColoursEnabled, setShowClassifiedColoursEnabled)
    FOREIGN_PAIR(bool, isProbabilityThresholdEnabled, setProbabilityThresholdEnabled)
    FOREIGN_PAIR(bool, isMotionAnalysisEnabled, setMotionAnalysisEnabled)
    FOREIGN_PAIR(bool, isMotionDifferenceSelected, setMotionDifferenceSelected)
    FOREIGN_PAIR(bool, isSpareFlagEnabled, setSpareFlagEnabled)
    FOREIGN_PAIR(bool, isColourThresholdEnabled, setColourThresholdEnabled)
    FOREIGN_PAIR(bool, isShowColourMaskEnabled, setShowColourMaskEnabled)
    FOREIGN_PAIR(bool, isBlobDetectionEnabled, setBlobDetectionEnabled)
    FOREIGN_PAIR(float, getFieldWidth, setFieldWidth)
    FOREIGN_PAIR(float, getFieldLength, setFieldLength)
    FOREIGN_PAIR(float, getCentreCircleRadius, setCentreCircleRadius)
    FOREIGN_PAIR(int, getTopPointsLeft, setTopPointsLeft)
    FOREIGN_PAIR(int, getBottomPointsLeft, setBottomPointsLeft)
    int addFieldPoint(int, int, int) override { return 0; }
    int setGameCentre(int, int) override { return 0; }
    int pickColour(int, int, bool) override { return 0; }
    void clearFieldPoints() override { }
    int getPosition() override { return 0; }
    void setMouseX(int) override { }
    void setMouseY(int) override { }
    FOREIGN_PAIR(int, getJumpStep, setJumpStep)
    FOREIGN_PAIR(float, getPlaybackRate, setPlaybackRate)
    FOREIGN_PAIR(float, getDelayFactor, setDelayFactor)
    FOREIGN_PAIR(int, getColourThreshold, setColourThreshold)
    FOREIGN_PAIR(float, getBlobMaxEmptyPercent, setBlobMaxEmptyPercent)
    FOREIGN_PAIR(int, getBlobWindowWidth, setBlobWindowWidth)
    FOREIGN_PAIR(int, getBlobWindowHeight, setBlobWindowHeight)
    FOREIGN_PAIR(float, getBlobMinFillPercent, setBlobMinFillPercent)
    void clearColourTable() override { }
    std::vector<FieldLine> getFieldLines() override { return {}; }
    std::vector<FieldLine> getCentreLines() override { return {}; }
    void setDrawFieldLines(bool) override { }
#undef FOREIGN_PAIR
};
