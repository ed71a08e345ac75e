// The GUI's video export: cancelling it leaves no file behind and puts the
// frame that was on screen back.

#include "ExportController.h"
#include "ShellTestSupport.h"
#include "VideoControls.h"

#include <QProgressDialog>
#include <QTimer>
#include <QtTest>

class TestExportController : public QObject
{
    Q_OBJECT

private slots:
    void cancelledExportLeavesNoFile();
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

QTEST_MAIN(TestExportController)
#include "tst_ExportController.moc"
