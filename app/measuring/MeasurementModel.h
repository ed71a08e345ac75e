#pragma once

#include "engine/PitchMeasurer.h"

#include <QAbstractTableModel>
#include <QPointF>

#include <vector>

// One distance the user measured: two picture points (video pixels) on a
// frame, and what they are on the pitch under the current calibration.
struct Measurement
{
    qint64 frame = 0;
    qint64 timeMs = 0;
    QPointF from;
    QPointF to;

    // Derived from the calibration; `measured` is false while the pitch is
    // not calibrated or an end lies beyond the horizon.
    bool measured = false;
    QPointF pitchFrom;
    QPointF pitchTo;
    PitchDistance distance;
};

// The measurements on screen and in the Measurements panel. The picture
// points are what the user placed; the pitch values follow every change of
// the corners or dimensions through recalculate().
class MeasurementModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Frame, Time, FromX, FromY, ToX, ToY, Distance, Sigma, ColumnCount };

    explicit MeasurementModel(const PitchMeasurer* measurer, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const Measurement& at(int row) const { return rows[std::size_t(row)]; }
    const std::vector<Measurement>& measurements() const { return rows; }

    // Adds at the end (or at row) and measures it; returns its row.
    int add(const Measurement& measurement, int row = -1);
    // Removes one and hands it back, so that an undo can put it back.
    Measurement take(int row);
    void clear();
    // Measures every row again, after the calibration changed.
    void recalculate();

    // The table as CSV: a header row, numbers in the C locale.
    QString toCsv() const;

    // "23.4 m ± 0.3 m"; empty when not measured.
    static QString label(const Measurement& measurement);

signals:
    void measurementsChanged();

private:
    void measure(Measurement& measurement) const;
    QString cellText(const Measurement& measurement, int column) const;

    const PitchMeasurer* measurer = nullptr;
    std::vector<Measurement> rows;
};
