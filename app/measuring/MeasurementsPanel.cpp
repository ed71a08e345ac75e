#include "measuring/MeasurementsPanel.h"

#include "measuring/MeasurementModel.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

MeasurementsPanel::MeasurementsPanel(MeasurementModel* model, QWidget* parent)
    : QWidget(parent)
    , model(model)
{
    view = new QTableView(this);
    view->setObjectName(QStringLiteral("measurementsTable"));
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    sigmaLabel = new QLabel(this);
    copyButton = new QPushButton(tr("Copy"), this);
    copyButton->setObjectName(QStringLiteral("copyMeasurementsButton"));
    copyButton->setToolTip(tr("Copy the table to the clipboard as CSV"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sigmaLabel);
    buttons->addStretch();
    buttons->addWidget(copyButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view);
    layout->addLayout(buttons);

    connect(copyButton, &QPushButton::clicked, this, &MeasurementsPanel::copyToClipboard);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        [this] { emit selectionChanged(selectedRow()); });
}

int MeasurementsPanel::selectedRow() const
{
    const QModelIndexList rows = view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void MeasurementsPanel::selectRow(int row)
{
    if (row < 0 || row >= model->rowCount())
        view->clearSelection();
    else
        view->selectRow(row);
}

void MeasurementsPanel::showClickSigma(double sigmaPx)
{
    sigmaLabel->setText(tr("± for a click accuracy of %1 px").arg(sigmaPx, 0, 'f', 1));
}

void MeasurementsPanel::copyToClipboard() { QApplication::clipboard()->setText(model->toCsv()); }

void MeasurementsPanel::keyPressEvent(QKeyEvent* event)
{
    const int row = selectedRow();
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && row >= 0) {
        emit deleteRequested(row);
        return;
    }
    QWidget::keyPressEvent(event);
}
