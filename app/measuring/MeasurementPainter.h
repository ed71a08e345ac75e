#pragma once

#include <QLineF>
#include <QTransform>

#include <optional>
#include <vector>

class QPainter;
struct Measurement;

// Draws the measurements over the picture: a line between the two ends, end
// marks, and the distance with its uncertainty beside the line. Both screens
// use it, each with its own mapping from video pixels to widget pixels, so
// lines and labels look the same whatever the scale.
class MeasurementPainter
{
public:
    // `pending` is a measurement being placed (video pixels), drawn dashed.
    static void paint(QPainter& painter, const QTransform& videoToWidget,
        const std::vector<Measurement>& measurements, int selectedRow,
        const std::optional<QLineF>& pending = std::nullopt);

private:
    static void paintLine(QPainter& painter, const QLineF& line, bool selected);
    static void paintLabel(
        QPainter& painter, const QLineF& line, const QString& label, bool selected);
};
