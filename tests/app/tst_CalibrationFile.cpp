// The calibration file beside a video: what is saved comes back, a file that
// cannot be used is reported and kept, and no write leaves a broken file.

#include "calibration/CalibrationFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

CalibrationData sample()
{
    CalibrationData data;
    data.video = { QStringLiteral("match.mp4"), QSize(1260, 708), 1262, 60.0 };
    data.length = 105.0;
    data.width = 68.0;
    data.radius = 9.15;
    // Corners fitted to landmarks: fractional, one far outside the picture.
    data.corners = { QPointF(152.25, 40.125), QPointF(1125, 37), QPointF(-2210.375, 660),
        QPointF(1118, 672.5) };
    data.centre = QPoint(631, 354);
    data.view = PitchLandmarks::View::RightHalf;
    data.lens = { 0.23, 0.0125, 640.5, 350.25 };
    data.landmarks = { { QStringLiteral("centre spot"), QPointF(631.5, 354.25), QPointF(52.5, 34) },
        { QStringLiteral("top left corner"), QPointF(152.25, 40.125), QPointF(0, 68) } };
    data.clickSigmaPx = 1.5;
    data.measurements = { { 120, QPointF(400.5, 300), QPointF(520, 310.25) } };
    return data;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestCalibrationFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void savedWorkComesBack();
    void centreCircleIsKeptAndOptional_data();
    void centreCircleIsKeptAndOptional();
    void halfChoiceIsKeptAndOptional_data();
    void halfChoiceIsKeptAndOptional();
    void versionOneFileReadsAsBefore();
    void unusableFileIsReportedAndKept_data();
    void unusableFileIsReportedAndKept();
    void unwritableFolderUsesTheDataFolder();
    void killedWriteLeavesTheOldFile();
};

void TestCalibrationFile::savedWorkComesBack()
{
    QTemporaryDir dir;
    CalibrationFile file(dir.filePath(QStringLiteral("match.mp4")));
    QVERIFY(file.save(sample()));
    QCOMPARE(file.besideVideo(), dir.filePath(QStringLiteral("match.mp4.tarvola.json")));
    const auto loaded = CalibrationFile(dir.filePath(QStringLiteral("match.mp4"))).load(QSize(1260, 708));
    QVERIFY(loaded.error.isEmpty());
    QVERIFY(loaded.data.has_value());
    QVERIFY(*loaded.data == sample());
    // Written again, the file reads line for line as before.
    QCOMPARE(CalibrationFile::toJson(*loaded.data), readAll(file.besideVideo()));
    // Incomplete points stay absent rather than becoming (0, 0).
    CalibrationData partial = sample();
    partial.corners[3].reset();
    partial.centre.reset();
    QCOMPARE(CalibrationFile::fromJson(CalibrationFile::toJson(partial), nullptr), std::optional(partial));
}

void TestCalibrationFile::centreCircleIsKeptAndOptional_data()
{
    QTest::addColumn<QByteArray>("pitchKeys");
    QTest::addColumn<double>("expectedM");
    const QByteArray dimensions = R"("length": 50, "width": 32, "radius": 5)";
    QTest::addRow("full size") << dimensions + R"(, "centre_circle": 9.15)" << 9.15;
    QTest::addRow("small-sided") << dimensions + R"(, "centre_circle": 5)" << 5.0;
    QTest::addRow("none painted") << dimensions + R"(, "centre_circle": 0)" << 0.0;
    // Files from before the setting, and a value that is no radius.
    QTest::addRow("absent") << dimensions << 9.15;
    QTest::addRow("negative") << dimensions + R"(, "centre_circle": -3)" << 9.15;
    QTest::addRow("text") << dimensions + R"(, "centre_circle": "five")" << 9.15;
}

void TestCalibrationFile::centreCircleIsKeptAndOptional()
{
    QFETCH(QByteArray, pitchKeys);
    QFETCH(double, expectedM);
    const QByteArray json = R"({"format": "tarvola", "version": )"
        + QByteArray::number(CalibrationFile::kVersion)
        + R"(, "video": {"file": "match.mp4", "width": 1260, "height": 708}, "pitch": {)"
        + pitchKeys + "}}";
    QString error;
    const auto data = CalibrationFile::fromJson(json, &error);
    QVERIFY2(data, qPrintable(error));
    QCOMPARE(data->centreCircleM, expectedM);
    QCOMPARE(data->length, 50.0);
    QCOMPARE(CalibrationFile::fromJson(CalibrationFile::toJson(*data), nullptr), data);
}

void TestCalibrationFile::halfChoiceIsKeptAndOptional_data()
{
    QTest::addColumn<QByteArray>("viewKey");
    QTest::addColumn<int>("expected"); // -1: none
    QTest::addRow("whole pitch") << QByteArray(R"(, "view": "whole")") << int(PitchLandmarks::View::Whole);
    QTest::addRow("left half") << QByteArray(R"(, "view": "left_half")") << int(PitchLandmarks::View::LeftHalf);
    QTest::addRow("right half") << QByteArray(R"(, "view": "right_half")") << int(PitchLandmarks::View::RightHalf);
    // Files from before the choice was kept, and a choice of a later program.
    QTest::addRow("absent") << QByteArray() << -1;
    QTest::addRow("unknown") << QByteArray(R"(, "view": "third")") << -1;
    QTest::addRow("not text") << QByteArray(R"(, "view": 1)") << -1;
}

void TestCalibrationFile::halfChoiceIsKeptAndOptional()
{
    QFETCH(QByteArray, viewKey);
    QFETCH(int, expected);
    const QByteArray json = R"({"format": "tarvola", "version": 2, "video": {"file": "match.mp4", )"
        R"("width": 1260, "height": 708}, "pitch": {"length": 52.5, "width": 68, "radius": 9.15)"
        + viewKey + "}}";
    QString error;
    const auto data = CalibrationFile::fromJson(json, &error);
    QVERIFY2(data, qPrintable(error));
    QCOMPARE(data->view.has_value(), expected >= 0);
    if (data->view)
        QCOMPARE(int(*data->view), expected);
    QCOMPARE(CalibrationFile::fromJson(CalibrationFile::toJson(*data), nullptr), data);
}

// A file written before lenses and landmarks: whole-pixel corners, the
// pinhole camera, no landmarks.
void TestCalibrationFile::versionOneFileReadsAsBefore()
{
    const QByteArray versionOne = R"({
    "format": "tarvola", "version": 1,
    "video": { "file": "match.mp4", "width": 1260, "height": 708, "frames": 1262, "fps": 60 },
    "pitch": { "length": 105, "width": 68, "radius": 9.15 },
    "click_sigma_px": 1.5,
    "corners": { "top_left": [152, 40], "top_right": [1125, 37], "bottom_left": [154, 660],
                 "bottom_right": [1118, 672] },
    "centre": [631, 354],
    "measurements": [ { "frame": 120, "from": [400.5, 300], "to": [520, 310.25] } ]
})";
    QString error;
    const auto data = CalibrationFile::fromJson(versionOne, &error);
    QVERIFY2(data.has_value(), qPrintable(error));
    CalibrationData expected = sample();
    expected.corners = { QPointF(152, 40), QPointF(1125, 37), QPointF(154, 660),
        QPointF(1118, 672) };
    expected.lens = CameraLens();
    expected.landmarks.clear();
    expected.view.reset();
    QCOMPARE(*data, expected);
    // Saved again, it becomes a version-2 file that reads the same.
    const QByteArray saved = CalibrationFile::toJson(*data);
    QVERIFY(saved.contains("\"version\": 2"));
    QCOMPARE(CalibrationFile::fromJson(saved, nullptr), data);
}

void TestCalibrationFile::unusableFileIsReportedAndKept_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addRow("not JSON") << QByteArray("{\"format\": \"tarvola\", ");
    QTest::addRow("another format") << QByteArray("{\"format\": \"other\", \"version\": 1}");
    QTest::addRow("a later version") << QByteArray("{\"format\": \"tarvola\", \"version\": 3}");
    QJsonObject root = QJsonDocument::fromJson(CalibrationFile::toJson(sample())).object();
    QJsonObject lens = root.value("lens").toObject();
    lens.insert("k1", "strong");
    QJsonObject badLens = root;
    badLens.insert("lens", lens);
    QTest::addRow("a damaged lens") << QJsonDocument(badLens).toJson();
    QJsonArray landmarks = root.value("landmarks").toArray();
    landmarks.append(QJsonObject { { "name", "penalty spot" }, { "picture", QJsonArray { 1, 2 } } });
    QJsonObject badLandmark = root;
    badLandmark.insert("landmarks", landmarks);
    QTest::addRow("a landmark without its pitch point") << QJsonDocument(badLandmark).toJson();
    QByteArray otherSize = CalibrationFile::toJson(sample());
    otherSize.replace("1260", "1920");
    QTest::addRow("a video of another size") << otherSize;
}

void TestCalibrationFile::unusableFileIsReportedAndKept()
{
    QFETCH(QByteArray, contents);
    QTemporaryDir dir;
    CalibrationFile file(dir.filePath(QStringLiteral("match.mp4")));
    writeAll(file.besideVideo(), contents);
    const auto loaded = file.load(QSize(1260, 708));
    QVERIFY(!loaded.data);
    QVERIFY(!loaded.error.isEmpty());
    QCOMPARE(readAll(file.besideVideo()), contents);
    QVERIFY(file.save(sample()));
    QCOMPARE(readAll(file.besideVideo() + QStringLiteral(".bad")), contents);
    QVERIFY(file.load(QSize(1260, 708)).data.has_value());
}

// Root may write anywhere, so the folder is made unwritable by a directory
// standing where the file would go.
void TestCalibrationFile::unwritableFolderUsesTheDataFolder()
{
    QTemporaryDir dir;
    CalibrationFile file(dir.filePath(QStringLiteral("match.mp4")));
    QVERIFY(QDir().mkpath(file.besideVideo()));
    bool usedDataFolder = false;
    QVERIFY(file.save(sample(), nullptr, &usedDataFolder));
    QVERIFY(usedDataFolder);
    QCOMPARE(CalibrationFile::fromJson(readAll(file.inDataFolder()), nullptr), std::optional(sample()));
    QCOMPARE(file.load(QSize(1260, 708)).data, std::optional(sample()));
    QFile::remove(file.inDataFolder());
}

void TestCalibrationFile::killedWriteLeavesTheOldFile()
{
    QTemporaryDir dir;
    CalibrationFile file(dir.filePath(QStringLiteral("match.mp4")));
    QVERIFY(file.save(sample()));
    const QByteArray before = readAll(file.besideVideo());
    const pid_t child = fork();
    if (child == 0) {
        // Killed in the middle of a write: the data never reaches the file.
        QSaveFile saving(file.besideVideo());
        if (saving.open(QIODevice::WriteOnly) && saving.write("{\"format\": ") > 0)
            saving.flush();
        raise(SIGKILL);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(readAll(file.besideVideo()), before);
}

QTEST_GUILESS_MAIN(TestCalibrationFile)
#include "tst_CalibrationFile.moc"
