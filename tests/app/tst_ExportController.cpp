// The GUI's exports: a cancelled video export leaves no file behind and
// puts the frame that was on screen back; a saved picture carries the
// overlay, also where the OpenGL screen has the engine's lines off.

#include "engine/EngineFunctions.h"
#include "export/ExportController.h"
#include "measuring/MeasurementModel.h"
#include "engine/PitchMeasurer.h"
#include "ShellTestSupport.h"
#include "playback/VideoControls.h"

#include <QProgressDialog>
#include <QTimer>
#include <QtTest>

class TestExportController : public QObject
{
    Q_OBJECT

private slots:
    void cancelledExportLeavesNoFile();
    void savedPictureCarriesOverlayAndMeasurement();
};

void TestExportController::cancelledExportLeavesNoFile()
{
    VistrelInterface* engine = shelltest::loadEngine();
    QVERIFY(engine);
    QTemporaryDir dir;
    const QString clip = shelltest::makeClip(dir, QStringLiteral("clip.mkv"), 400, 320, 240);
    QVERIFY(!clip.isEmpty());
    QWidget window;
    VideoControls controls(engine);
    QVERIFY(controls.loadFile(clip));
    QVERIFY(controls.showFrame(7));
    ExportController exporter(engine, &controls, nullptr, false, &window);

    // Cancels as soon as the dialog shows some progress.
    QTimer canceller;
    connect(&canceller, &QTimer::timeout, &window, [&window] {
        auto* progress = window.findChild<QProgressDialog*>(QStringLiteral("exportProgress"));
        if (progress && progress->value() > 0)
            progress->cancel();
    });
    canceller.start(5);
    const QString out = dir.filePath(QStringLiteral("out.mp4"));
    const VideoExporter::Result result = exporter.exportTo(out, 0, -1);
    QVERIFY(result.cancelled);
    QVERIFY(!result.written);
    QVERIFY(result.frames < 400);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { "clip.mkv" });
    QCOMPARE(controls.currentFrameIndex(), 7LL);
}

void TestExportController::savedPictureCarriesOverlayAndMeasurement()
{
    VistrelInterface* engine = shelltest::loadEngine();
    QVERIFY(engine);
    QTemporaryDir dir;
    const QString clip = shelltest::makeClip(dir, QStringLiteral("clip.mkv"), 3, 320, 240);
    QWidget window;
    VideoControls controls(engine);
    QVERIFY(controls.loadFile(clip));
    testclips::ClipSettings clipSettings;
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    engine->setFieldLength(clipSettings.fieldLength);
    engine->setFieldWidth(clipSettings.fieldWidth);
    for (int i = 0; i < 4; ++i)
        engine->addFieldPoint(i / 2, truth.corners[i].x, truth.corners[i].y);
    engine->setGameCentre(truth.centre().x, truth.centre().y);
    // The OpenGL screen switches the engine's burnt-in lines off.
    engine->setDrawFieldLines(false);
    QVERIFY(controls.showFrame(1));
    const PitchMeasurer measurer(
        engine, [engine](const char* name) { return EngineFunctions::symbol(engine, name); });
    MeasurementModel measurements(&measurer);
    Measurement m;
    m.from = QPointF(100, 120);
    m.to = QPointF(220, 120);
    measurements.add(m);
    ExportController exporter(engine, &controls, &measurements, true, &window);

    const QString path = dir.filePath(QStringLiteral("frame.png"));
    QVERIFY(exporter.savePictureTo(path));
    const QImage picture(path);
    QCOMPARE(picture.size(), QSize(320, 240));
    // The outline's violet on the true bottom edge, give or take a pixel.
    const cv::Point2d edge = truth.toPicture(clipSettings.fieldWidth / 2, 0.0);
    bool violet = false;
    for (int dy = -1; dy <= 1; ++dy)
        violet |= picture.pixelColor(int(std::lround(edge.x)), int(std::lround(edge.y)) + dy)
            == QColor(128, 0, 255);
    QVERIFY(violet);
    const QColor line = picture.pixelColor(160, 120);
    QVERIFY2(line.red() > 200 && line.green() > 180 && line.blue() < 100, qPrintable(line.name()));
}

QTEST_MAIN(TestExportController)
#include "tst_ExportController.moc"
