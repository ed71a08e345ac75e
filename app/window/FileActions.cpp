#include "window/FileActions.h"

#include "calibration/CalibrationKeeper.h"
#include "measuring/MeasurementModel.h"
#include "playback/VideoControls.h"
#include "window/Actions.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QSettings>

namespace {

constexpr const char* kOpenIcon = ":/images/Open.png";
constexpr const char* kExitIcon = ":/images/Exit.png";
constexpr const char* kRecentFilesKey = "recentFiles";

QSettings settings() { return QSettings(QStringLiteral("Tarvola"), QStringLiteral("Tarvola")); }

QString fileNameOf(const QString& path) { return QFileInfo(path).fileName(); }

} // namespace

FileActions::FileActions(VideoControls* videoControls, CalibrationKeeper* keeper,
    MeasurementModel* measurements, QWidget* window)
    : QObject(window)
    , videoControls(videoControls)
    , keeper(keeper)
    , measurements(measurements)
    , window(window)
{
    open = makeAction(
        this, tr("&Open"), tr("Ctrl+O"), tr("Open video file"), kOpenIcon, "openAction");
    connect(open, &QAction::triggered, videoControls, &VideoControls::openFile);

    importCalibrationAction = makeAction(this, tr("&Import Calibration..."), QString(),
        tr("Take the corners and dimensions from another video of the same camera"), nullptr,
        "importCalibrationAction");
    importCalibrationAction->setEnabled(false);
    connect(importCalibrationAction, &QAction::triggered, this,
        &FileActions::chooseCalibrationToImport);

    exportMeasurementsAction = makeAction(this, tr("&Export Measurements..."), QString(),
        tr("Save the measurements as a CSV file"), nullptr, "exportMeasurementsAction");
    connect(exportMeasurementsAction, &QAction::triggered, this,
        &FileActions::chooseMeasurementsExport);

    exit = makeAction(
        this, tr("E&xit"), tr("Ctrl+Q"), tr("Exit the application"), kExitIcon, "exitAction");
    connect(exit, &QAction::triggered, qApp, &QApplication::closeAllWindows);
}

void FileActions::fillMenu(QMenu* fileMenu)
{
    fileMenu->addAction(open);
    recentMenu = fileMenu->addMenu(tr("Open &Recent"));
    recentMenu->setObjectName(QStringLiteral("recentMenu"));
    fileMenu->addSeparator();
    fileMenu->addActions({ importCalibrationAction, exportMeasurementsAction });
    fileMenu->addSeparator();
    fileMenu->addAction(exit);
    rebuildRecentMenu();
}

QStringList FileActions::recentFiles() const
{
    return settings().value(QString::fromLatin1(kRecentFilesKey)).toStringList();
}

void FileActions::noteOpened(const QString& path)
{
    importCalibrationAction->setEnabled(true);
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList files = recentFiles();
    files.removeAll(absolute);
    files.prepend(absolute);
    settings().setValue(QString::fromLatin1(kRecentFilesKey), files.mid(0, kRecentFileCount));
    rebuildRecentMenu();
}

void FileActions::rebuildRecentMenu()
{
    if (!recentMenu)
        return;
    recentMenu->clear();
    const QStringList files = recentFiles();
    for (const QString& path : files) {
        QAction* entry = recentMenu->addAction(fileNameOf(path));
        entry->setStatusTip(path);
        connect(entry, &QAction::triggered, this, [this, path] { videoControls->loadFile(path); });
    }
    recentMenu->setEnabled(!files.isEmpty());
}

void FileActions::showOpenError(const QString& path, const QString& reason)
{
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Cannot open video"),
        tr("%1 cannot be opened.").arg(fileNameOf(path)), QMessageBox::Ok, window);
    box->setObjectName(QStringLiteral("openErrorBox"));
    box->setInformativeText(reason);
    box->setDetailedText(path);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void FileActions::chooseCalibrationToImport()
{
    const QString path = QFileDialog::getOpenFileName(window, tr("Import calibration"),
        QFileInfo(keeper->videoPath()).absolutePath(),
        tr("Tarvola calibrations (*.tarvola.json);;All files (*)"));
    if (!path.isEmpty())
        importCalibration(path);
}

bool FileActions::importCalibration(const QString& path)
{
    QString reason;
    if (keeper->importFrom(path, &reason))
        return true;
    showFileError(tr("Cannot import calibration"),
        tr("The calibration in %1 cannot be used.").arg(fileNameOf(path)), reason);
    return false;
}

void FileActions::chooseMeasurementsExport()
{
    const QString video = keeper->videoPath();
    const QString suggested
        = video.isEmpty() ? QString() : video + QStringLiteral(".measurements.csv");
    const QString path = QFileDialog::getSaveFileName(
        window, tr("Export measurements"), suggested, tr("CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty())
        exportMeasurements(path);
}

// Written whole or not at all: an old file of that name stays until the
// new one is complete.
bool FileActions::exportMeasurements(const QString& path)
{
    const QByteArray csv = measurements->toCsv().toUtf8();
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(csv) == csv.size() && file.commit())
        return true;
    showFileError(tr("Cannot export measurements"),
        tr("The measurements cannot be written to %1.").arg(fileNameOf(path)), file.errorString());
    return false;
}

void FileActions::showFileError(const QString& title, const QString& text, const QString& reason)
{
    auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, window);
    box->setObjectName(QStringLiteral("fileErrorBox"));
    box->setInformativeText(reason);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
