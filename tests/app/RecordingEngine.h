#pragma once

// A test double of the engine that records the calls a GUI class makes, for
// the tests where the call sequence itself is the behaviour under test.
// Every other operation answers with a neutral value.

#include "VistrelInterface.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>

class RecordingEngine : public VistrelInterface
{
public:
    QStringList calls;
    std::vector<FieldLine> fieldLines { { 1, 2, 3, 4 } };
    std::vector<FieldLine> centreLines { { 5, 6, 7, 8 } };

    // The recorded calls whose text starts with prefix.
    QStringList callsTo(const QString& prefix) const
    {
        return calls.filter(QRegularExpression("^" + prefix));
    }

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
#define RECORDING_ENGINE_FLAG(get, set)                                                            \
    bool get() override { return false; }                                                          \
    void set(bool) override { }
    RECORDING_ENGINE_FLAG(isStopped, setStopped)
    RECORDING_ENGINE_FLAG(isPaused, setPaused)
    RECORDING_ENGINE_FLAG(isJumpForwardPending, setJumpForward)
    RECORDING_ENGINE_FLAG(isJumpBackPending, setJumpBack)
    RECORDING_ENGINE_FLAG(isPlayFinished, setPlayFinished)
    RECORDING_ENGINE_FLAG(isProcessingEnabled, setProcessingEnabled)
    RECORDING_ENGINE_FLAG(isFilterEnabled, setFilterEnabled)
    RECORDING_ENGINE_FLAG(isColourClassificationEnabled, setColourClassificationEnabled)
    RECORDING_ENGINE_FLAG(isColourSegmentationEnabled, setColourSegmentationEnabled)
    RECORDING_ENGINE_FLAG(isShowClassifiedColoursEnabled, setShowClassifiedColoursEnabled)
    RECORDING_ENGINE_FLAG(isProbabilityThresholdEnabled, setProbabilityThresholdEnabled)
    RECORDING_ENGINE_FLAG(isMotionAnalysisEnabled, setMotionAnalysisEnabled)
    RECORDING_ENGINE_FLAG(isMotionDifferenceSelected, setMotionDifferenceSelected)
    RECORDING_ENGINE_FLAG(isSpareFlagEnabled, setSpareFlagEnabled)
    RECORDING_ENGINE_FLAG(isColourThresholdEnabled, setColourThresholdEnabled)
    RECORDING_ENGINE_FLAG(isShowColourMaskEnabled, setShowColourMaskEnabled)
    RECORDING_ENGINE_FLAG(isBlobDetectionEnabled, setBlobDetectionEnabled)
#undef RECORDING_ENGINE_FLAG
    float getFieldWidth() override { return 0.0f; }
    void setFieldWidth(float v) override { record("setFieldWidth", v); }
    float getFieldLength() override { return 0.0f; }
    void setFieldLength(float v) override { record("setFieldLength", v); }
    float getCentreCircleRadius() override { return 0.0f; }
    void setCentreCircleRadius(float v) override { record("setCentreCircleRadius", v); }
    int getTopPointsLeft() override { return 0; }
    void setTopPointsLeft(int) override { }
    int getBottomPointsLeft() override { return 0; }
    void setBottomPointsLeft(int) override { }
    int addFieldPoint(int which, int x, int y) override
    {
        calls << QStringLiteral("addFieldPoint(%1,%2,%3)").arg(which).arg(x).arg(y);
        return 0;
    }
    int setGameCentre(int x, int y) override
    {
        calls << QStringLiteral("setGameCentre(%1,%2)").arg(x).arg(y);
        return 0;
    }
    int pickColour(int, int, bool) override { return 0; }
    void clearFieldPoints() override { calls << QStringLiteral("clearFieldPoints()"); }
    int getPosition() override { return 0; }
    void setMouseX(int) override { }
    void setMouseY(int) override { }
    int getJumpStep() override { return 0; }
    void setJumpStep(int) override { }
    float getPlaybackRate() override { return 25.0f; }
    void setPlaybackRate(float) override { }
    float getDelayFactor() override { return 0.0f; }
    void setDelayFactor(float) override { }
    int getColourThreshold() override { return 0; }
    void setColourThreshold(int) override { }
    float getBlobMaxEmptyPercent() override { return 0.0f; }
    void setBlobMaxEmptyPercent(float) override { }
    int getBlobWindowWidth() override { return 0; }
    void setBlobWindowWidth(int) override { }
    int getBlobWindowHeight() override { return 0; }
    void setBlobWindowHeight(int) override { }
    float getBlobMinFillPercent() override { return 0.0f; }
    void setBlobMinFillPercent(float) override { }
    void clearColourTable() override { }
    std::vector<FieldLine> getFieldLines() override
    {
        calls << QStringLiteral("getFieldLines()");
        return fieldLines;
    }
    std::vector<FieldLine> getCentreLines() override
    {
        calls << QStringLiteral("getCentreLines()");
        return centreLines;
    }
    void setDrawFieldLines(bool draw) override
    {
        calls << QStringLiteral("setDrawFieldLines(%1)").arg(draw ? "true" : "false");
    }

private:
    void record(const char* name, float value)
    {
        calls << QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(double(value));
    }
};
