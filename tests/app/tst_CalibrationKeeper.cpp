// The calibration kept beside the video, through the main window with the
// real engine: every change is saved at once and comes back when the video
// opens again; unusable files are told and kept; another video's corners can
// be imported and the measurements exported.

#include "calibration/CalibrationFile.h"
#include "calibration/FieldControls.h"
#include "calibration/LandmarkPanel.h"
#include "engine/EngineFunctions.h"
#include "MainWindow.h"
#include "measuring/MeasureTool.h"
#include "measuring/MeasurementModel.h"
#include "measuring/MeasurementsPanel.h"
#include "ShellTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>

#include <memory>

namespace {

const QPoint kCorners[] = { QPoint(20, 10), QPoint(140, 12), QPoint(8, 110), QPoint(150, 108) };
const QPoint kCentre(81, 60);
const CameraLens kLens { 0.12, 0.01, 78.5, 61.25 };

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_CalibrationKeeper : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void workComesBackWhenTheVideoOpensAgain();
    void unusableFileIsToldAndKept();
    void unwritableFolderIsToldOnceAndStillRemembered();
    void importTakesCornersOfAVideoOfTheSameSize();

private:
    std::unique_ptr<MainWindow> openWindow(const QString& video);
    FieldControls* field() { return window->findChild<FieldControls*>(); }
    MeasurementModel* measurements() { return window->findChild<MeasurementModel*>(); }
    QComboBox* viewBox() { return window->findChild<LandmarkPanel*>()->findChild<QComboBox*>(); }
    void calibrateLength(const QString& length);
    void calibrate(const QString& length);

    QTemporaryDir dir;
    QString clip;
    VistrelInterface* engine = nullptr;
    std::unique_ptr<MainWindow> window;
};

void tst_CalibrationKeeper::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    clip = shelltest::makeClip(dir, QStringLiteral("match.mkv"), 30);
    QVERIFY(!clip.isEmpty());
}

// A fresh engine each time, so that nothing comes back from an engine that
// still holds it.
std::unique_ptr<MainWindow> tst_CalibrationKeeper::openWindow(const QString& video)
{
    engine = shelltest::loadEngine();
    auto opened = std::make_unique<MainWindow>(false, engine);
    opened->show();
    opened->openVideo(video);
    return opened;
}

// Typed and clicked as a user does: the length edit, four corners and a centre.
void tst_CalibrationKeeper::calibrateLength(const QString& length)
{
    QLineEdit* lengthEdit = field()->findChildren<QLineEdit*>().value(0);
    lengthEdit->setText(length);
    QTest::keyClick(lengthEdit, Qt::Key_Return);
}

void tst_CalibrationKeeper::calibrate(const QString& length)
{
    calibrateLength(length);
    for (const QPoint& point : kCorners)
        field()->selectPoint(point.x(), point.y(), true);
    field()->selectPoint(kCentre.x(), kCentre.y(), true);
}

void tst_CalibrationKeeper::workComesBackWhenTheVideoOpensAgain()
{
    window = openWindow(clip);
    calibrate(QStringLiteral("100"));
    CameraLens pinhole;
    QCOMPARE(EngineFunctions::of(engine).lens(&pinhole), 0);
    field()->setLens(kLens, pinhole);
    window->findChild<QDoubleSpinBox*>(QStringLiteral("clickSigmaBox"))->setValue(1.5);
    field()->centreCircleSetting()->setRadiusM(5.0);
    viewBox()->setCurrentIndex(viewBox()->findText(QStringLiteral("Left half")));
    emit window->findChild<MeasureTool*>()->measured(QPointF(30.5, 40), QPointF(90, 70.25));
    const QString saved = clip + QStringLiteral(".tarvola.json");
    QTRY_VERIFY(!CalibrationFile::fromJson(readAll(saved), nullptr)
                     .value_or(CalibrationData())
                     .measurements.empty());

    const CalibrationData data = *CalibrationFile::fromJson(readAll(saved), nullptr);
    QCOMPARE(data.corners[3], std::optional(QPointF(kCorners[3])));
    QCOMPARE(data.lens, kLens);
    QCOMPARE(data.centre, std::optional(kCentre));
    QCOMPARE(data.length, 100.0);
    QCOMPARE(data.centreCircleM, 5.0);
    QCOMPARE(data.view, std::optional(PitchLandmarks::View::LeftHalf));
    const std::vector<FieldLine> lines = engine->getFieldLines();
    const std::vector<FieldLine> centreLines = engine->getCentreLines();
    const QByteArray bytes = readAll(saved);
    window.reset();

    window = openWindow(clip);
    QCOMPARE(engine->getTopPointsLeft() + engine->getBottomPointsLeft(), 0);
    QCOMPARE(engine->getFieldLength(), 100.0f);
    CameraLens restored;
    QCOMPARE(EngineFunctions::of(engine).lens(&restored), 0);
    QCOMPARE(restored, kLens);
    QVERIFY(shelltest::sameLines(engine->getFieldLines(), lines));
    QVERIFY(shelltest::sameLines(engine->getCentreLines(), centreLines));
    QCOMPARE(field()->clickSigma(), 1.5);
    QCOMPARE(field()->centreCircleM(), 5.0);
    QCOMPARE(viewBox()->currentText(), QStringLiteral("Left half"));
    QCOMPARE(field()->pitchView(), PitchLandmarks::View::LeftHalf);
    QCOMPARE(measurements()->rowCount(), 1);
    QVERIFY(measurements()->at(0).measured);
    QCOMPARE(measurements()->at(0).from, QPointF(30.5, 40));

    // A deletion is saved, and its undo brings the file back line for line.
    emit window->findChild<MeasurementsPanel*>()->deleteRequested(0);
    QTRY_VERIFY(CalibrationFile::fromJson(readAll(saved), nullptr)->measurements.empty());
    window->findChild<QAction*>(QStringLiteral("measureAction"))->setChecked(true);
    window->findChild<QAction*>(QStringLiteral("undoPointAction"))->trigger();
    window->close(); // saves what is pending
    QCOMPARE(readAll(saved), bytes);
    window.reset();
}

void tst_CalibrationKeeper::unusableFileIsToldAndKept()
{
    QTemporaryDir other;
    const QString video = other.filePath(QStringLiteral("match.mkv"));
    QVERIFY(QFile::copy(clip, video));
    const QString saved = video + QStringLiteral(".tarvola.json");
    const QByteArray damaged("{\"format\": \"tarvola\", \"version\": 1, \"pitch\": ");
    QFile file(saved);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
    file.close();

    window = openWindow(video);
    const QString told = window->statusBar()->currentMessage();
    QVERIFY2(told.contains(saved) && told.contains(QStringLiteral("not a JSON")), qPrintable(told));
    QCOMPARE(field()->remainingCorners(), 4);
    QTest::qWait(20);
    QCOMPARE(readAll(saved), damaged);

    field()->selectPoint(kCorners[0].x(), kCorners[0].y(), true);
    QTRY_VERIFY(CalibrationFile::fromJson(readAll(saved), nullptr).has_value());
    QCOMPARE(readAll(saved + QStringLiteral(".bad")), damaged);
    window.reset();
}

// Root writes anywhere, so a folder standing where the file would go makes
// the video's folder unwritable for it.
void tst_CalibrationKeeper::unwritableFolderIsToldOnceAndStillRemembered()
{
    QTemporaryDir other;
    const QString video = other.filePath(QStringLiteral("match.mkv"));
    QVERIFY(QFile::copy(clip, video));
    QVERIFY(QDir().mkpath(video + QStringLiteral(".tarvola.json")));
    const QString kept = CalibrationFile(video).inDataFolder();
    // The data folder outlives the test's folders.
    const auto forget = qScopeGuard([&kept] { QFile::remove(kept); });
    window = openWindow(video);
    QSignalSpy told(window->statusBar(), &QStatusBar::messageChanged);
    calibrate(QStringLiteral("90"));
    QTRY_VERIFY(QFile::exists(kept));
    field()->undoLastPoint(); // the centre
    field()->undoLastPoint(); // the fourth corner
    QTRY_VERIFY(!CalibrationFile::fromJson(readAll(kept), nullptr)->corners[3].has_value());
    QCOMPARE(told.count(), 1);
    QVERIFY(told.front().front().toString().contains(kept));
    window.reset();

    window = openWindow(video);
    QCOMPARE(field()->remainingCorners(), 1);
    QCOMPARE(engine->getFieldLength(), 90.0f);
    window.reset();
}

void tst_CalibrationKeeper::importTakesCornersOfAVideoOfTheSameSize()
{
    QTemporaryDir other;
    const QString bigger = shelltest::makeClip(other, QStringLiteral("bigger.mkv"), 5, 320, 240);
    const QString dayTwo = other.filePath(QStringLiteral("day2.mkv"));
    QVERIFY(!bigger.isEmpty() && QFile::copy(clip, dayTwo));
    window = openWindow(bigger);
    field()->selectPoint(5, 5, true);
    window->openVideo(clip); // the pending save of the bigger one is done first
    QVERIFY(QFile::exists(bigger + QStringLiteral(".tarvola.json")));
    calibrate(QStringLiteral("80"));

    window->openVideo(dayTwo);
    field()->resetPoints();
    field()->selectPoint(30, 30, true);
    calibrateLength(QStringLiteral("70"));
    emit window->findChild<MeasureTool*>()->measured(QPointF(1, 2), QPointF(3, 4));
    QVERIFY(!window->importCalibration(bigger + QStringLiteral(".tarvola.json")));
    QVERIFY(window->findChild<QMessageBox*>(QStringLiteral("fileErrorBox")));
    QCOMPARE(field()->remainingCorners(), 3);

    QVERIFY(window->importCalibration(clip + QStringLiteral(".tarvola.json")));
    QCOMPARE(field()->gameCentre(), std::optional(kCentre));
    QCOMPARE(engine->getFieldLength(), 80.0f);
    QCOMPARE(measurements()->rowCount(), 1);
    QVERIFY(measurements()->at(0).measured);
    field()->undoLastPoint(); // the whole import
    QCOMPARE(field()->remainingCorners(), 3);
    QCOMPARE(field()->corners()[0], QPoint(30, 30));
    QCOMPARE(engine->getFieldLength(), 70.0f);
    QVERIFY(window->importCalibration(clip + QStringLiteral(".tarvola.json")));

    const QString csv = other.filePath(QStringLiteral("day2.csv"));
    QVERIFY(window->exportMeasurements(csv));
    QCOMPARE(QString::fromUtf8(readAll(csv)), measurements()->toCsv());
    QVERIFY(!window->exportMeasurements(other.filePath(QStringLiteral("missing/day2.csv"))));
    window.reset();
    QCOMPARE(CalibrationFile::fromJson(readAll(dayTwo + QStringLiteral(".tarvola.json")), nullptr)
                 ->corners[0],
        std::optional(QPointF(kCorners[0])));
}

QTEST_MAIN(tst_CalibrationKeeper)
#include "tst_CalibrationKeeper.moc"
