#pragma once

#include "measuring/MeasurementModel.h"

#include <QString>

#include <atomic>
#include <functional>
#include <vector>

class VistrelInterface;

// Writes a range of the open video's frames, each with the overlay and the
// measurements burnt in (AnnotatedFrame), at the video's resolution and
// frame rate. No widgets: the command line and the GUI's export both run
// it, the GUI on a thread of its own. A cancelled or failed run leaves no
// file behind.
class VideoExporter
{
public:
    struct Result
    {
        bool written = false;
        bool cancelled = false;
        QString path; // the file written (its suffix may differ from the one asked for)
        QString error; // why nothing was written
        long long frames = 0;
    };
    // Frames done and the number the range is expected to have.
    using Progress = std::function<void(long long done, long long total)>;

    VideoExporter(VistrelInterface* engine, std::vector<Measurement> measurements,
        bool screenDrawsLines = false);

    // Frames first..last (inclusive); last < 0 or past the end: to the end.
    Result run(const QString& path, long long first, long long last,
        const std::atomic<bool>& cancel, const Progress& progress = {}) const;

    // The number of frames of the open video as far as the engine knows.
    long long frameTotal() const;

private:
    VistrelInterface* engine;
    std::vector<Measurement> measurements;
    bool screenDrawsLines;
};
