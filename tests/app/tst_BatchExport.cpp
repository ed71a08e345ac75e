// The command-line exports, run as the real program without a display: the
// video comes out with every frame and the overlay on the pitch's true
// lines, the CSV with the saved measurement, and every failure ends with
// exit code 2, one line, and no output file.

#include "cli/BatchExport.h"
#include "calibration/CalibrationFile.h"
#include "ClipCalibration.h"
#include "ClipGenerator.h"
#include "ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <opencv2/videoio.hpp>

namespace {

constexpr int kFrames = 12;
constexpr int kSearchPx = 2;
// The overlay's outline is violet (R 128, G 0, B 255); nothing in the clip
// has blue this far above green.
constexpr int kVioletBlueOverGreen = 80;
constexpr double kOutlineCoverage = 0.9;

// A lossless clip with its true corners and one measurement saved beside it.
testclips::ClipTruth makeCalibratedClip(const QString& path, bool withCalibration = true)
{
    testclips::ClipSettings clipSettings;
    clipSettings.frames = kFrames;
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    if (!testclips::writeClip(clipSettings, QFile::encodeName(path).toStdString(), nullptr, false)
        || !withCalibration)
        return truth;
    CalibrationData data = trueCalibration(clipSettings, path);
    const cv::Point2d from = truth.toPicture(0.0, 0.0);
    const cv::Point2d to = truth.toPicture(clipSettings.fieldWidth, clipSettings.fieldLength);
    data.measurements = { { 0, QPointF(from.x, from.y), QPointF(to.x, to.y) } };
    CalibrationFile(path).save(data);
    return truth;
}

// A clip recorded through a wide-angle lens, calibrated at its recorded
// corners, with one measurement along the near touchline (which the lens
// bends most) from its left end to its middle.
testclips::ClipSettings makeBentClip(const QString& path, bool withLens)
{
    testclips::ClipSettings clipSettings;
    clipSettings.frames = 2;
    clipSettings.players = 0;
    clipSettings.lens = { 0.25, 0.03, 0.06, -0.05 };
    const testclips::ClipTruth truth = testclips::truthFor(clipSettings);
    const cv::Size size(clipSettings.width, clipSettings.height);
    const auto recorded = [&](double x, double y) {
        const cv::Point2d p = clipSettings.lens.distort(truth.toPicture(x, y), size);
        return QPointF(p.x, p.y);
    };
    if (!testclips::writeClip(clipSettings, QFile::encodeName(path).toStdString(), nullptr, false))
        return clipSettings;
    CalibrationData data;
    data.video = { QFileInfo(path).fileName(), QSize(size.width, size.height), 2, clipSettings.fps };
    data.length = clipSettings.fieldLength;
    data.width = clipSettings.fieldWidth;
    data.radius = clipSettings.radius;
    const double w = clipSettings.fieldWidth;
    const double l = clipSettings.fieldLength;
    const std::pair<double, double> corners[] = { { 0, l }, { w, l }, { 0, 0 }, { w, 0 } };
    for (std::size_t i = 0; i < 4; ++i)
        data.corners[i] = recorded(corners[i].first, corners[i].second).toPoint();
    if (withLens) {
        const cv::Point2d centre = clipSettings.lens.centre(size);
        data.lens = { clipSettings.lens.k1, clipSettings.lens.k2, centre.x, centre.y };
    }
    data.measurements = { { 0, recorded(0, 0), recorded(w / 2, 0) } };
    CalibrationFile(path).save(data);
    return clipSettings;
}

bool violetNear(const cv::Mat& bgr, cv::Point2d at)
{
    for (int dy = -kSearchPx; dy <= kSearchPx; ++dy) {
        for (int dx = -kSearchPx; dx <= kSearchPx; ++dx) {
            const cv::Point p(int(std::lround(at.x)) + dx, int(std::lround(at.y)) + dy);
            if (!cv::Rect(0, 0, bgr.cols, bgr.rows).contains(p))
                continue;
            const cv::Vec3b pixel = bgr.at<cv::Vec3b>(p);
            if (pixel[0] - pixel[1] > kVioletBlueOverGreen)
                return true;
        }
    }
    return false;
}

// The share of points along the four true edges with the outline's colour.
double outlineCoverage(const cv::Mat& bgr, const testclips::ClipTruth& truth)
{
    const double w = truth.clipSettings.fieldWidth;
    const double l = truth.clipSettings.fieldLength;
    const double edges[4][4] = { { 0, 0, w, 0 }, { w, 0, w, l }, { w, l, 0, l }, { 0, l, 0, 0 } };
    int found = 0;
    int samples = 0;
    for (const auto& e : edges) {
        for (double t = 0.05; t < 0.96; t += 0.05, ++samples)
            found += violetNear(
                bgr, truth.toPicture(e[0] + t * (e[2] - e[0]), e[1] + t * (e[3] - e[1])));
    }
    return double(found) / samples;
}

} // namespace

class TestBatchExport : public QObject
{
    Q_OBJECT

private slots:
    void exportsEveryFrameWithTheOverlayOnTheTrueLines();
    void measuresThroughTheSavedLens();
    void failureExitsWithTwoAndLeavesNoFile_data();
    void failureExitsWithTwoAndLeavesNoFile();
};

void TestBatchExport::exportsEveryFrameWithTheOverlayOnTheTrueLines()
{
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip.mkv"));
    const testclips::ClipTruth truth = makeCalibratedClip(clip);
    const QString out = dir.filePath(QStringLiteral("out.mp4"));

    const ProgramRun run = runProgram(dir, { QStringLiteral("--export-video"), out, clip });
    QCOMPARE(run.exitCode, BatchExport::kExitDone);
    QVERIFY(run.errorLines.contains(QStringLiteral("100%")));
    const QString written = QFile::exists(out) ? out : dir.filePath(QStringLiteral("out.avi"));
    cv::VideoCapture capture(QFile::encodeName(written).toStdString(), cv::CAP_FFMPEG);
    cv::Mat frame;
    int frames = 0;
    for (; capture.read(frame); ++frames) {
        QCOMPARE(frame.cols, truth.clipSettings.width);
        QVERIFY2(
            outlineCoverage(frame, truth) >= kOutlineCoverage, qPrintable(QString::number(frames)));
    }
    QCOMPARE(frames, kFrames);

    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    QCOMPARE(runProgram(dir, { QStringLiteral("--export-csv"), csv, clip }).exitCode,
        BatchExport::kExitDone);
    QFile table(csv);
    QVERIFY(table.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = table.readAll().trimmed().split('\n');
    QCOMPARE(rows.size(), 2);
    // The measurement runs corner to corner: the pitch's diagonal.
    const double diagonal
        = std::hypot(truth.clipSettings.fieldWidth, truth.clipSettings.fieldLength);
    QVERIFY(std::abs(rows[1].split(',').value(6).toDouble() - diagonal) < 0.5);
}

void TestBatchExport::measuresThroughTheSavedLens()
{
    QTemporaryDir dir;
    for (const bool withLens : { true, false }) {
        const QString clip = dir.filePath(withLens ? QStringLiteral("lens.mkv") : QStringLiteral("pinhole.mkv"));
        const testclips::ClipSettings clipSettings = makeBentClip(clip, withLens);
        const QString csv = clip + QStringLiteral(".csv");
        QCOMPARE(runProgram(dir, { QStringLiteral("--export-csv"), csv, clip }).exitCode,
            BatchExport::kExitDone);
        QFile table(csv);
        QVERIFY(table.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = table.readAll().trimmed().split('\n');
        QCOMPARE(rows.size(), 2);
        const double error
            = std::abs(rows[1].split(',').value(6).toDouble() - clipSettings.fieldWidth / 2);
        // Without the lens the bent touchline's middle lies well off.
        if (withLens)
            QVERIFY2(error < 0.1, qPrintable(QString::number(error)));
        else
            QVERIFY2(error > 0.3, qPrintable(QString::number(error)));
    }
}

void TestBatchExport::failureExitsWithTwoAndLeavesNoFile_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("calibrated");
    QTest::addColumn<QString>("out");
    QTest::newRow("video, no calibration") << "--export-video" << false << "out.mp4";
    QTest::newRow("csv, no calibration") << "--export-csv" << false << "out.csv";
    QTest::newRow("video, folder is a file") << "--export-video" << true << "clip.mkv/out.mp4";
    QTest::newRow("csv, folder is a file") << "--export-csv" << true << "clip.mkv/out.csv";
    QTest::newRow("no video") << "--export-video" << true << "out.mp4|missing.mkv";
}

void TestBatchExport::failureExitsWithTwoAndLeavesNoFile()
{
    QFETCH(QString, option);
    QFETCH(bool, calibrated);
    QFETCH(QString, out);
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip.mkv"));
    makeCalibratedClip(clip, calibrated);
    const QStringList parts = out.split(QLatin1Char('|'));
    const QString video = parts.size() > 1 ? dir.filePath(parts[1]) : clip;
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);

    const ProgramRun run = runProgram(dir, { option, dir.filePath(parts[0]), video });
    QCOMPARE(run.exitCode, BatchExport::kExitFailed);
    QCOMPARE(run.errorLines.filter(QStringLiteral("tarvola: ")).size(), 1);
    QDir after(dir.path());
    after.setFilter(QDir::AllEntries | QDir::Hidden);
    QStringList left = after.entryList();
    left.removeAll(QStringLiteral("debug.log"));
    left.removeAll(QStringLiteral("data"));
    QStringList expected = before;
    expected.removeAll(QStringLiteral("debug.log"));
    QCOMPARE(left, expected);
}

QTEST_GUILESS_MAIN(TestBatchExport)
#include "tst_BatchExport.moc"
