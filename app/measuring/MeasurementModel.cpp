#include "measuring/MeasurementModel.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>

namespace {

constexpr int kMetreDecimals = 2;
constexpr double kMsPerSecond = 1000.0;
constexpr int kSecondDecimals = 3;
// Below this uncertainty a label shows centimetres, above it decimetres.
constexpr double kFineSigmaMetres = 0.05;

// Fixed decimals; a value that rounds to zero is written without a sign.
QString number(double value, int decimals)
{
    const QString text = QString::number(value, 'f', decimals);
    const bool zero = text.count(QLatin1Char('0')) == text.size() - (decimals > 0 ? 2 : 1);
    return text.startsWith(QLatin1Char('-')) && zero ? text.mid(1) : text;
}

} // namespace

MeasurementModel::MeasurementModel(const PitchMeasurer* measurer, QObject* parent)
    : QAbstractTableModel(parent)
    , measurer(measurer)
{
}

int MeasurementModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows.size());
}

int MeasurementModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MeasurementModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    return cellText(at(index.row()), index.column());
}

// Plain C-locale numbers, so that the table reads the same as its CSV copy.
QString MeasurementModel::cellText(const Measurement& m, int column) const
{
    if (column == Frame)
        return QString::number(m.frame);
    if (column == Time)
        return number(m.timeMs / kMsPerSecond, kSecondDecimals);
    if (!m.measured)
        return column == Distance ? tr("not calibrated") : QString();
    switch (column) {
    case FromX:
        return number(m.pitchFrom.x(), kMetreDecimals);
    case FromY:
        return number(m.pitchFrom.y(), kMetreDecimals);
    case ToX:
        return number(m.pitchTo.x(), kMetreDecimals);
    case ToY:
        return number(m.pitchTo.y(), kMetreDecimals);
    case Distance:
        return number(m.distance.metres, kMetreDecimals);
    case Sigma:
        return number(m.distance.sigmaMetres, kMetreDecimals);
    default:
        return {};
    }
}

QVariant MeasurementModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    const QStringList titles { tr("Frame"), tr("Time (s)"), tr("From x (m)"), tr("From y (m)"),
        tr("To x (m)"), tr("To y (m)"), tr("Distance (m)"), tr("± (m)") };
    return section >= 0 && section < titles.size() ? titles[section] : QVariant();
}

int MeasurementModel::add(const Measurement& measurement, int row)
{
    const int at = row < 0 || row > rowCount() ? rowCount() : row;
    beginInsertRows({}, at, at);
    rows.insert(rows.begin() + at, measurement);
    measure(rows[std::size_t(at)]);
    endInsertRows();
    emit measurementsChanged();
    return at;
}

Measurement MeasurementModel::take(int row)
{
    beginRemoveRows({}, row, row);
    Measurement taken = rows[std::size_t(row)];
    rows.erase(rows.begin() + row);
    endRemoveRows();
    emit measurementsChanged();
    return taken;
}

void MeasurementModel::clear()
{
    beginResetModel();
    rows.clear();
    endResetModel();
    emit measurementsChanged();
}

void MeasurementModel::recalculate()
{
    if (rows.empty())
        return;
    for (Measurement& measurement : rows)
        measure(measurement);
    emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    emit measurementsChanged();
}

void MeasurementModel::measure(Measurement& m) const
{
    const auto from = measurer ? measurer->toPitch(m.from) : std::nullopt;
    const auto to = measurer ? measurer->toPitch(m.to) : std::nullopt;
    const auto distance = measurer ? measurer->distance(m.from, m.to) : std::nullopt;
    m.measured = from && to && distance;
    m.pitchFrom = from.value_or(QPointF());
    m.pitchTo = to.value_or(QPointF());
    m.distance = distance.value_or(PitchDistance());
}

QString MeasurementModel::toCsv() const
{
    QStringList lines { QStringLiteral(
        "frame,time_s,from_x_m,from_y_m,to_x_m,to_y_m,distance_m,sigma_m") };
    for (const Measurement& m : rows) {
        QStringList cells;
        for (int column = 0; column < ColumnCount; ++column)
            cells << (m.measured || column <= Time ? cellText(m, column) : QString());
        lines << cells.join(QLatin1Char(','));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString MeasurementModel::label(const Measurement& m)
{
    if (!m.measured)
        return {};
    const int decimals = m.distance.sigmaMetres < kFineSigmaMetres ? 2 : 1;
    return QStringLiteral("%1 m \u00b1 %2 m")
        .arg(number(m.distance.metres, decimals), number(m.distance.sigmaMetres, decimals));
}
