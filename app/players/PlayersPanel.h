#pragma once

#include <QWidget>

#include <vector>

class PlayersModel;
class QAction;
class QMenu;
class QSortFilterProxyModel;
class QTableView;
class QToolButton;
class TrackStore;

// The players table in its dock: sortable by every column, the name typed
// in place, the selection shared with the pitch view and the picture, and
// Copy as CSV (also Ctrl+C) putting the table as shown on the clipboard.
// Above the table, the corrections: merge the two selected tracks, split
// the selected one at the frame shown, delete it, change its team; each
// undoable with the panel's Undo and Redo.
class PlayersPanel : public QWidget
{
    Q_OBJECT

public:
    explicit PlayersPanel(TrackStore* store, QWidget* parent = nullptr);

    // The table as shown (sorted as it is), with a header line.
    QString csv() const;
    void copyCsv() const;
    QTableView* table() const { return view; }
    PlayersModel* model() const { return players; }

private:
    void showSelection(int id);
    void selectionMoved();
    QWidget* makeCorrections();
    void updateCorrections();
    // The ids of the selected rows, in the table's order.
    std::vector<int> selectedIds() const;

    TrackStore* store = nullptr;
    PlayersModel* players = nullptr;
    QSortFilterProxyModel* sorted = nullptr;
    QTableView* view = nullptr;
    QAction* mergeAction = nullptr;
    QAction* splitAction = nullptr;
    QAction* deleteAction = nullptr;
    QMenu* teamMenu = nullptr;
    QToolButton* teamButton = nullptr;
};
