#pragma once

#include "engine/EngineFunctions.h"
#include "measuring/MeasurementModel.h"

#include <QImage>

#include <vector>

class VistrelInterface;

// One frame as the user sees it, at the video's own resolution: the engine's
// picture with the pitch overlay burnt in, and the measurements painted over
// it. Save picture, the video export and the command line all use it.
//
// The OpenGL screen draws the overlay itself and switches the engine's
// burnt-in lines off; while an AnnotatedFrame exists the engine draws them,
// and they go off again when it ends if the screen draws its own.
class AnnotatedFrame
{
public:
    AnnotatedFrame(
        VistrelInterface* engine, std::vector<Measurement> measurements, bool screenDrawsLines);
    ~AnnotatedFrame();
    AnnotatedFrame(const AnnotatedFrame&) = delete;
    AnnotatedFrame& operator=(const AnnotatedFrame&) = delete;

    // Decodes frame `index` and composes it; a null image when the engine
    // cannot show it, or when the video ends before it.
    QImage at(long long index) const;
    // The frame the engine shows now, composed; a null image without one.
    QImage current() const;

    // Paints the measurements over a picture at video resolution.
    static void paintMeasurements(QImage& picture, const std::vector<Measurement>& measurements);

private:
    QImage fetch() const;

    VistrelInterface* engine;
    EngineFunctions frames;
    std::vector<Measurement> measurements;
    bool screenDrawsLines;
};
