#pragma once

#include "players/PlayerStats.h"

#include <QAbstractTableModel>

#include <vector>

class TrackStore;

// The players table: one row per track with its id, team, name (editable),
// distance covered, top speed and the time above 5.5 m/s and above 7 m/s.
// Qt::UserRole gives each cell's raw value for sorting.
class PlayersModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Id, Team, Name, Distance, TopSpeed, AboveHighSpeed, AboveSprint, ColumnCount };

    explicit PlayersModel(TrackStore* store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // The track id of a row.
    int idAt(int row) const;
    int rowOf(int id) const;

private:
    void reload();
    QVariant rawValue(int row, int column) const;

    TrackStore* store = nullptr;
    std::vector<PlayerStats> stats; // one per track, in the store's order
};
