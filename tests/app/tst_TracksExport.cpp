// The command line's tracks export and its argument checks, run as the real
// program without a display: the tracks CSV and its sidecar come out with
// exit code 0; every failure, and every wrong command line, ends with exit
// code 2, one line, and no output file.

#include "cli/BatchExport.h"
#include "ClipCalibration.h"
#include "ClipGenerator.h"
#include "ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kFrames = 30;

// A lossless 960x540 match clip in `dir`, with its true corners saved
// beside it when `withCalibration`.
void makeMatchClip(const QTemporaryDir& dir, bool withCalibration)
{
    testclips::ClipSettings clipSettings = smallMatchPlan(kFrames);
    clipSettings.width = 960;
    clipSettings.height = 540;
    QVERIFY(!writeCalibratedClip(clipSettings, dir, QStringLiteral("match.mkv"), withCalibration).isEmpty());
}

QStringList entries(const QTemporaryDir& dir)
{
    QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.removeAll(QStringLiteral("debug.log"));
    left.removeAll(QStringLiteral("data"));
    return left;
}

} // namespace

class TestTracksExport : public QObject
{
    Q_OBJECT

private slots:
    void writesTracksAndSidecar();
    void failureExitsWithTwoAndLeavesNoFile_data();
    void failureExitsWithTwoAndLeavesNoFile();
    void wrongCommandLineExitsWithTwoAndOneLine_data();
    void wrongCommandLineExitsWithTwoAndOneLine();
};

void TestTracksExport::writesTracksAndSidecar()
{
    QTemporaryDir dir;
    makeMatchClip(dir, true);
    const QString clip = dir.filePath(QStringLiteral("match.mkv"));
    const QString out = dir.filePath(QStringLiteral("tracks.csv"));
    const ProgramRun run = runProgram(dir, { QStringLiteral("--export-tracks"), out, clip });
    QCOMPARE(run.exitCode, BatchExport::kExitDone);
    QVERIFY(run.errorLines.contains(QStringLiteral("100%")));
    QFile csv(out);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().split('\n');
    QCOMPARE(rows.value(0), QByteArray("frame,time_s,track_id,team,x_m,y_m,speed_m_s,state"));
    QVERIFY(rows.size() > kFrames * 20);
    QVERIFY(QFile::exists(out + QStringLiteral(".json")));
}

void TestTracksExport::failureExitsWithTwoAndLeavesNoFile_data()
{
    QTest::addColumn<bool>("calibrated");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("video");
    QTest::newRow("no calibration") << false << "out.csv" << "match.mkv";
    QTest::newRow("folder is a file") << true << "match.mkv/out.csv" << "match.mkv";
    QTest::newRow("no video") << true << "out.csv" << "missing.mkv";
}

void TestTracksExport::failureExitsWithTwoAndLeavesNoFile()
{
    QFETCH(bool, calibrated);
    QFETCH(QString, out);
    QFETCH(QString, video);
    QTemporaryDir dir;
    makeMatchClip(dir, calibrated);
    const QStringList before = entries(dir);
    const ProgramRun run = runProgram(
        dir, { QStringLiteral("--export-tracks"), dir.filePath(out), dir.filePath(video) });
    QCOMPARE(run.exitCode, BatchExport::kExitFailed);
    // Qt may add its own warnings about the environment; ours is one line.
    QCOMPARE(run.errorLines.filter(QStringLiteral("tarvola: ")).size(), 1);
    QCOMPARE(entries(dir), before);
}

void TestTracksExport::wrongCommandLineExitsWithTwoAndOneLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList { QStringLiteral("--bogus") };
    QTest::newRow("unknown short option") << QStringList { QStringLiteral("-q") };
    QTest::newRow("unknown option beside a video")
        << QStringList { QStringLiteral("--bogus"), QStringLiteral("match.mkv") };
    QTest::newRow("export without OUT") << QStringList { QStringLiteral("--export-tracks") };
    QTest::newRow("export without VIDEO")
        << QStringList { QStringLiteral("--export-tracks"), QStringLiteral("out.csv") };
    QTest::newRow("two exports")
        << QStringList { QStringLiteral("--export-tracks"), QStringLiteral("a.csv"),
               QStringLiteral("--export-csv"), QStringLiteral("b.csv"), QStringLiteral("v.mkv") };
}

void TestTracksExport::wrongCommandLineExitsWithTwoAndOneLine()
{
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    const ProgramRun run = runProgram(dir, arguments);
    QCOMPARE(run.exitCode, BatchExport::kExitFailed);
    QCOMPARE(run.errorLines.size(), 1);
    QVERIFY(run.errorLines[0].startsWith(QStringLiteral("tarvola: ")));
    QVERIFY(entries(dir).isEmpty());
}

QTEST_GUILESS_MAIN(TestTracksExport)
#include "tst_TracksExport.moc"
