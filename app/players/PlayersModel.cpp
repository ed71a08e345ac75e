#include "players/PlayersModel.h"

#include "players/TrackStore.h"

PlayersModel::PlayersModel(TrackStore* store, QObject* parent)
    : QAbstractTableModel(parent)
    , store(store)
{
    connect(store, &TrackStore::tracksChanged, this, &PlayersModel::reload);
    connect(store, &TrackStore::renamed, this, [this](int id) {
        const QModelIndex name = index(rowOf(id), Name);
        emit dataChanged(name, name);
    });
    reload();
}

void PlayersModel::reload()
{
    beginResetModel();
    stats.clear();
    for (const PlayerTrack& track : store->tracks().tracks)
        stats.push_back(PlayerStats::of(track, store->tracks().fps));
    endResetModel();
}

int PlayersModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(stats.size());
}

int PlayersModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

int PlayersModel::idAt(int row) const
{
    return row >= 0 && row < rowCount() ? store->tracks().tracks[std::size_t(row)].id : 0;
}

int PlayersModel::rowOf(int id) const { return store->tracks().indexOf(id); }

QVariant PlayersModel::rawValue(int row, int column) const
{
    const PlayerTrack& track = store->tracks().tracks[std::size_t(row)];
    const PlayerStats& s = stats[std::size_t(row)];
    switch (column) {
    case Id:
        return track.id;
    case Team:
        return track.team;
    case Name:
        return track.name;
    case Distance:
        return s.distanceM;
    case TopSpeed:
        return s.topSpeedMps;
    case AboveHighSpeed:
        return s.secondsAboveHighSpeed;
    case AboveSprint:
        return s.secondsAboveSprint;
    default:
        return {};
    }
}

QVariant PlayersModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const QVariant value = rawValue(index.row(), index.column());
    switch (role) {
    case Qt::UserRole:
    case Qt::EditRole:
        return value;
    case Qt::DisplayRole:
        switch (index.column()) {
        case Distance:
        case AboveHighSpeed:
        case AboveSprint:
            return QString::number(value.toDouble(), 'f', 0);
        case TopSpeed:
            return QString::number(value.toDouble(), 'f', 1);
        default:
            return value;
        }
    case Qt::TextAlignmentRole:
        return index.column() == Name || index.column() == Team
            ? QVariant()
            : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant PlayersModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Id:
        return tr("Id");
    case Team:
        return tr("Team");
    case Name:
        return tr("Name");
    case Distance:
        return tr("Distance (m)");
    case TopSpeed:
        return tr("Top speed (m/s)");
    case AboveHighSpeed:
        return tr("Above 5.5 m/s (s)");
    case AboveSprint:
        return tr("Above 7 m/s (s)");
    default:
        return {};
    }
}

Qt::ItemFlags PlayersModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    return index.column() == Name ? flags | Qt::ItemIsEditable : flags;
}

bool PlayersModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != Name || role != Qt::EditRole)
        return false;
    return store->rename(idAt(index.row()), value.toString().trimmed());
}
