#include "players/PlayersPanel.h"

#include "players/PlayersModel.h"
#include "players/TrackStore.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QToolButton>
#include <QUndoStack>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A cell as CSV wants it: quoted where it holds a comma, a quote or a line end.
QString csvCell(QString text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + text.replace(QLatin1String("\""), QLatin1String("\"\""))
        + QLatin1Char('"');
}

} // namespace

PlayersPanel::PlayersPanel(TrackStore* store, QWidget* parent)
    : QWidget(parent)
    , store(store)
{
    players = new PlayersModel(store, this);
    sorted = new QSortFilterProxyModel(this);
    sorted->setSourceModel(players);
    sorted->setSortRole(Qt::UserRole);
    view = new QTableView;
    view->setObjectName(QStringLiteral("playersTable"));
    view->setModel(sorted);
    view->setSortingEnabled(true);
    view->sortByColumn(PlayersModel::Id, Qt::AscendingOrder);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    auto* copy = new QPushButton(tr("Copy as CSV"));
    copy->setObjectName(QStringLiteral("copyPlayersButton"));
    connect(copy, &QPushButton::clicked, this, &PlayersPanel::copyCsv);
    auto* copyAction = new QAction(tr("Copy as CSV"), view);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetShortcut);
    connect(copyAction, &QAction::triggered, this, &PlayersPanel::copyCsv);
    view->addAction(copyAction);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(makeCorrections());
    layout->addWidget(view);
    layout->addWidget(copy, 0, Qt::AlignRight);

    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &PlayersPanel::selectionMoved);
    connect(store, &TrackStore::selectionChanged, this, &PlayersPanel::showSelection);
    connect(players, &QAbstractItemModel::modelReset, this,
        [this] { showSelection(this->store->selectedId()); });
    connect(store, &TrackStore::frameChanged, this, &PlayersPanel::updateCorrections);
    updateCorrections();
}

QWidget* PlayersPanel::makeCorrections()
{
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    const auto addButton = [this, row](QAction* action, const char* name) {
        action->setObjectName(QString::fromLatin1(name));
        auto* button = new QToolButton;
        button->setDefaultAction(action);
        row->addWidget(button);
        addAction(action);
        return action;
    };
    mergeAction = addButton(new QAction(tr("Merge"), this), "mergeTracksAction");
    mergeAction->setToolTip(tr("The two selected tracks are one player: join them"));
    connect(mergeAction, &QAction::triggered, this, [this] {
        const std::vector<int> ids = selectedIds();
        if (ids.size() == 2)
            store->merge(std::min(ids[0], ids[1]), std::max(ids[0], ids[1]));
    });
    splitAction = addButton(new QAction(tr("Split Here"), this), "splitTrackAction");
    splitAction->setToolTip(tr("From the frame shown on, the selected track is another player"));
    connect(splitAction, &QAction::triggered, this,
        [this] { store->split(store->selectedId(), store->frame()); });
    deleteAction = addButton(new QAction(tr("Delete"), this), "deleteTrackAction");
    deleteAction->setToolTip(tr("The selected track is no player (a spectator, a coach)"));
    connect(deleteAction, &QAction::triggered, this, [this] { store->remove(store->selectedId()); });
    teamMenu = new QMenu(tr("Team"), this);
    for (const QString& team : { QStringLiteral("A"), QStringLiteral("B"), QString() })
        teamMenu->addAction(team.isEmpty() ? tr("None") : tr("Team %1").arg(team), this,
            [this, team] { store->setTeam(store->selectedId(), team); });
    teamButton = new QToolButton;
    teamButton->setObjectName(QStringLiteral("teamButton"));
    teamButton->setText(tr("Team"));
    teamButton->setMenu(teamMenu);
    teamButton->setPopupMode(QToolButton::InstantPopup);
    row->addWidget(teamButton);
    // Ctrl+Z belongs to the corners and measurements; these take buttons.
    addButton(store->undoStack()->createUndoAction(this, tr("Undo")), "undoCorrectionAction");
    addButton(store->undoStack()->createRedoAction(this, tr("Redo")), "redoCorrectionAction");
    row->addStretch();
    return bar;
}

std::vector<int> PlayersPanel::selectedIds() const
{
    std::vector<int> ids;
    for (const QModelIndex& row : view->selectionModel()->selectedRows())
        ids.push_back(players->idAt(sorted->mapToSource(row).row()));
    return ids;
}

void PlayersPanel::updateCorrections()
{
    const std::vector<int> ids = selectedIds();
    mergeAction->setEnabled(ids.size() == 2);
    splitAction->setEnabled(ids.size() == 1);
    deleteAction->setEnabled(ids.size() == 1);
    teamButton->setEnabled(ids.size() == 1);
}

void PlayersPanel::selectionMoved()
{
    const std::vector<int> ids = selectedIds();
    updateCorrections();
    // With two rows selected for a merge, the first stays the one shown.
    if (ids.size() <= 1)
        store->select(ids.empty() ? 0 : ids.front());
}

void PlayersPanel::showSelection(int id)
{
    const int row = players->rowOf(id);
    const std::vector<int> ids = selectedIds();
    if (std::find(ids.begin(), ids.end(), id) != ids.end())
        return;
    if (row < 0) {
        view->clearSelection();
        return;
    }
    const QModelIndex shown = sorted->mapFromSource(players->index(row, PlayersModel::Id));
    view->selectionModel()->select(
        shown, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->scrollTo(shown);
}

QString PlayersPanel::csv() const
{
    QStringList lines;
    QStringList header;
    for (int column = 0; column < sorted->columnCount(); ++column)
        header << csvCell(sorted->headerData(column, Qt::Horizontal).toString());
    lines << header.join(QLatin1Char(','));
    for (int row = 0; row < sorted->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < sorted->columnCount(); ++column)
            cells << csvCell(sorted->index(row, column).data().toString());
        lines << cells.join(QLatin1Char(','));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void PlayersPanel::copyCsv() const { QApplication::clipboard()->setText(csv()); }
