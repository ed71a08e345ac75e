#include "core/Vistrel.h"

// The setters of playback and of the analysis stages. Each one wakes the
// loop: a request ends its sleep at once (a tiny playback rate never keeps
// one waiting), a stage change makes the paused loop draw the picture anew.

void Vistrel::setStopped(bool value)
{
    stopped = value;
    noteHostRequest();
}

void Vistrel::setPaused(bool value)
{
    paused = value;
    noteHostRequest();
}

void Vistrel::setJumpForward(bool value)
{
    jumpForward = value;
    noteHostRequest();
}

void Vistrel::setJumpBack(bool value)
{
    jumpBack = value;
    noteHostRequest();
}

void Vistrel::setProcessingEnabled(bool value)
{
    processingEnabled = value;
    notePictureChange();
}

void Vistrel::setFilterEnabled(bool value)
{
    filterEnabled = value;
    notePictureChange();
}

void Vistrel::setColourClassificationEnabled(bool value)
{
    colourClassificationEnabled = value;
    notePictureChange();
}

void Vistrel::setColourSegmentationEnabled(bool value)
{
    colourSegmentationEnabled = value;
    notePictureChange();
}

void Vistrel::setShowClassifiedColoursEnabled(bool value)
{
    showClassifiedColoursEnabled = value;
    notePictureChange();
}

void Vistrel::setProbabilityThresholdEnabled(bool value)
{
    probabilityThresholdEnabled = value;
    notePictureChange();
}

void Vistrel::setMotionAnalysisEnabled(bool value)
{
    motionAnalysisEnabled = value;
    notePictureChange();
}

void Vistrel::setMotionDifferenceSelected(bool value)
{
    motionDifferenceSelected = value;
    notePictureChange();
}

void Vistrel::setSpareFlagEnabled(bool value)
{
    spareFlag = value;
    notePictureChange();
}

void Vistrel::setColourThresholdEnabled(bool value)
{
    colourThresholdEnabled = value;
    notePictureChange();
}

void Vistrel::setShowColourMaskEnabled(bool value)
{
    showColourMaskEnabled = value;
    notePictureChange();
}

void Vistrel::setBlobDetectionEnabled(bool value)
{
    blobDetectionEnabled = value;
    notePictureChange();
}

void Vistrel::setPlaybackRate(float value)
{
    playbackRate = value;
    noteHostRequest();
}

void Vistrel::setDelayFactor(float value)
{
    delayFactor = value;
    noteHostRequest();
}

void Vistrel::setColourThreshold(int value)
{
    colourThreshold = value;
    notePictureChange();
}

void Vistrel::setBlobMaxEmptyPercent(float value)
{
    blobMaxEmptyPercent = value;
    notePictureChange();
}

void Vistrel::setBlobWindowWidth(int value)
{
    blobWindowWidth = value;
    notePictureChange();
}

void Vistrel::setBlobWindowHeight(int value)
{
    blobWindowHeight = value;
    notePictureChange();
}

void Vistrel::setBlobMinFillPercent(float value)
{
    blobMinFillPercent = value;
    notePictureChange();
}
