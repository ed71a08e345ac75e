#pragma once

#include <QString>

#include <cstdio>
#include <memory>

class MeasurementModel;
class PitchMeasurer;
class VistrelInterface;

// The command line's exports, without a window: the video with the overlay
// and the measurements burnt in, the measurements as CSV, or the players'
// tracks (TracksExport), all from the calibration file saved beside the
// video. Progress goes to standard error
// as "NN%" lines, and a failure as one line.
class BatchExport
{
public:
    enum class Kind { Video, Csv, Tracks };

    static constexpr int kExitDone = 0;
    // The video cannot be read or has no usable calibration, or the output
    // cannot be written.
    static constexpr int kExitFailed = 2;

    explicit BatchExport(VistrelInterface* engine, std::FILE* messages = stderr);
    ~BatchExport();

    // The exit code of the program.
    int run(Kind kind, const QString& out, const QString& video);

private:
    int fail(const QString& message) const;
    bool openCalibrated(const QString& video);
    int exportVideo(const QString& out);
    int exportCsv(const QString& out);
    int exportTracks(const QString& out);
    void showProgress(long long done, long long total);

    VistrelInterface* engine;
    std::FILE* messages;
    // The saved measurements, measured with the saved calibration.
    std::unique_ptr<PitchMeasurer> measurer;
    std::unique_ptr<MeasurementModel> measurements;
    int shownPercent = -1;
};
