#pragma once

#include "export/VideoExporter.h"

#include <QObject>

class MeasurementModel;
class QAction;
class QMenu;
class QWidget;
class VideoControls;
class VistrelInterface;

// File > Export video and File > Save picture: asks for the range and the
// file, runs the export on a thread of its own behind a progress dialog
// with a Cancel button, and puts playback back as it was (playing, paused
// or stopped, on the same frame). Failures are told in a message box that
// names the file; nothing is left behind by them.
class ExportController : public QObject
{
    Q_OBJECT

public:
    // `measurements` may be null (nothing is painted over the overlay).
    ExportController(VistrelInterface* engine, VideoControls* controls,
        const MeasurementModel* measurements, bool screenDrawsLines, QWidget* window);

    // Frames first..last (last < 0: to the end) into path, with the
    // progress dialog; playback is paused for it and restored after.
    VideoExporter::Result exportTo(const QString& path, long long first, long long last);
    // The frame on screen with overlay and measurements, as PNG.
    bool savePictureTo(const QString& path);

    // Export Video and Save Picture (Ctrl+Shift+S), put into `menu` before
    // `before`; they are enabled once a video has opened.
    void addActionsTo(QMenu* menu, QAction* before);

public slots:
    void exportVideo();
    void savePicture();

private:
    bool askRange(long long* first, long long* last) const;
    QString askTarget(const QString& title, const QString& suffix, const QString& filter,
        const QString& nameTail) const;
    std::vector<Measurement> currentMeasurements() const;
    void showFailure(const QString& title, const QString& path, const QString& reason) const;

    VistrelInterface* engine;
    VideoControls* controls;
    const MeasurementModel* measurements;
    bool screenDrawsLines;
    QWidget* window;
};
