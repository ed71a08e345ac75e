#pragma once

#include <QWidget>

class MeasurementModel;
class QLabel;
class QPushButton;
class QTableView;

// The Measurements dock: the table of measurements (frame, time, both ends in
// pitch metres, distance and its uncertainty), "Copy" for the table as CSV,
// Delete for the selected row. Removal is left to the owner of the undo
// history, which hears of it through deleteRequested().
class MeasurementsPanel : public QWidget
{
    Q_OBJECT

public:
    explicit MeasurementsPanel(MeasurementModel* model, QWidget* parent = nullptr);

    QTableView* table() const { return view; }
    int selectedRow() const;
    void selectRow(int row);
    // The click accuracy the uncertainties assume, shown under the table.
    void showClickSigma(double sigmaPx);

signals:
    void selectionChanged(int row);
    void deleteRequested(int row);

public slots:
    void copyToClipboard();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    MeasurementModel* model = nullptr;
    QTableView* view = nullptr;
    QLabel* sigmaLabel = nullptr;
    QPushButton* copyButton = nullptr;
};
