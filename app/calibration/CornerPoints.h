#pragma once

#include "calibration/CalibrationFile.h"

#include <QLineF>
#include <QPoint>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class VistrelInterface;

// The points the user gave for the pitch: up to four corners in click order
// (top left, top right, bottom left, bottom right), where each was clicked
// before snapping, and the game centres given since (the fourth corner is the
// first); or the landmarks of a calibration from known points, with the
// corners they imply. With them the camera's lens, through which the engine
// takes every point. A plain value: a copy is a snapshot that undo can bring
// back.
class CornerPoints
{
public:
    static constexpr int kCount = 4;

    CornerPoints();

    int remaining() const { return kCount - count; }
    int given() const { return count; }
    bool complete() const { return count == kCount; }
    const std::vector<QPoint>& corners() const { return cornerPoints; }
    const std::vector<QPoint>& centres() const { return centrePoints; }
    // Whether the corners came from the engine's search, not from clicks.
    bool found() const { return foundByEngine; }
    // The last centre given once the corners are complete.
    std::optional<QPoint> gameCentre() const;
    // For each corner a snap moved: from the click to where it went; for
    // found corners, a line of no length on each.
    std::vector<QLineF> snapMoves() const;
    // "(x , y) , (x , y)" for the top (first two) or bottom corners given.
    QString edgeText(bool top) const;

    // The next corner, where it went and where it was clicked; the fourth is
    // also the first game centre.
    void addCorner(const QPoint& corner, const QPoint& click);
    void addCentre(const QPoint& centre);
    // A corner already given moves (both its place and its click); once
    // complete, the moved corner replaces the last centre.
    bool moveCorner(int index, const QPoint& to);
    void setClicked(int index, const QPoint& click) { clickedPoints[std::size_t(index)] = click; }
    // Drops the last centre while more than keep remain.
    bool dropCentre(std::size_t keep);
    // Drops the last corner given, with the fourth corner's centres.
    bool dropCorner();
    // Corners the engine found, with the game centre on the pitch's centre.
    void setFound(const std::array<QPoint, kCount>& found);
    static QPoint pitchCentre(const std::array<QPoint, kCount>& corners);
    // The corners, centre, lens and landmarks a stored calibration holds,
    // as if clicked.
    void setStored(const CalibrationData& data);
    const CameraLens& lens() const { return cameraLens; }
    void setLens(const CameraLens& lens) { cameraLens = lens; }
    const std::vector<CalibrationData::Landmark>& landmarks() const { return knownPoints; }
    // The landmarks given so far; with four or more the corners they imply,
    // the game centre on the pitch's centre (the last corner is often far
    // outside the picture). Corners implied by landmarks before go when
    // fewer than four remain.
    void setLandmarks(const std::vector<CalibrationData::Landmark>& landmarks,
        const std::optional<std::array<QPoint, kCount + 1>>& cornersAndCentre);
    void clear();

    // Gives the engine these points afresh: the lens, the corners (or the
    // landmarks, four or more), then the centre.
    void replay(VistrelInterface* engine) const;
    static void addToEngine(VistrelInterface* engine, int cornerIndex, const QPoint& corner);
    // Calibrates the engine from four or more landmarks; false when refused.
    static bool calibrateFrom(
        VistrelInterface* engine, const std::vector<CalibrationData::Landmark>& landmarks);

private:
    std::vector<QPoint> cornerPoints;
    std::vector<QPoint> clickedPoints;
    std::vector<QPoint> centrePoints;
    int count = 0;
    bool foundByEngine = false;
    CameraLens cameraLens;
    // Only while the corners are the ones they imply.
    std::vector<CalibrationData::Landmark> knownPoints;

    void replayLens(VistrelInterface* engine) const;
};
