// The tracks as the program reads, counts and writes them: the tracks CSV
// back byte for byte, refused files, the players table's figures and the
// two-team layout.

#include "players/PlayerStats.h"
#include "players/TrackSet.h"
#include "players/TrackStore.h"
#include "players/TracksFile.h"
#include "players/TwoTeamExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <cmath>

namespace {

// Frame 2 has nobody on the pitch; track 7 has no team (a referee).
const QByteArray kCsv = "frame,time_s,track_id,team,x_m,y_m,speed_m_s,state\n"
                        "0,0.000,2,A,13.82,50.03,0.00,detected\n"
                        "0,0.000,7,,31.61,-0.40,0.00,detected\n"
                        "1,0.040,2,A,13.84,50.02,1.21,predicted\n"
                        "3,0.120,2,A,13.90,50.00,1.30,interpolated\n";

TrackSample sample(qint64 frame, double x, double y, double speed)
{
    return { frame, QPointF(x, y), speed, TrackSample::State::Detected };
}

} // namespace

class tst_PlayerTracks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void csvComesBackByteForByte();
    void refusesWhatIsNoTracksCsv_data();
    void refusesWhatIsNoTracksCsv();
    void fileKeepsNamesInTheSidecar();
    void tracksInTheDataFolderAreFound();
    void statsCountSpeedsOverFrames_data();
    void statsCountSpeedsOverFrames();
    void twoTeamLayoutAt25HzFromTheTopLeft();
    void correctionsUndoAndAreSaved();
};

void tst_PlayerTracks::csvComesBackByteForByte()
{
    QString error;
    auto tracks = TrackSet::fromCsv(kCsv, 25.0, &error);
    QVERIFY2(tracks, qPrintable(error));
    QCOMPARE(tracks->tracks.size(), std::size_t(2));
    QCOMPARE(tracks->frames, qint64(4));
    QCOMPARE(tracks->tracks[1].team, QString());
    QCOMPARE(tracks->tracks[0].samples[1].state, TrackSample::State::Predicted);
    QCOMPARE(tracks->toCsv(), kCsv);
    // Frames processed after the last player left are kept as empty frames,
    // and a negative zero is written without its sign.
    tracks->frames = 6;
    tracks->tracks[1].samples[0].pitch.setX(-0.001);
    QVERIFY(tracks->toCsv().endsWith("3,0.120,2,A,13.90,50.00,1.30,interpolated\n"));
    QVERIFY(tracks->toCsv().contains("0,0.000,7,,0.00,-0.40"));
}

void tst_PlayerTracks::refusesWhatIsNoTracksCsv_data()
{
    QTest::addColumn<QByteArray>("csv");
    const QByteArray header = "frame,time_s,track_id,team,x_m,y_m,speed_m_s,state\n";
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("other header") << QByteArray("frame,x,y\n0,1,2\n");
    QTest::newRow("too few cells") << header + "0,0.000,1,A,1.00,2.00,0.00\n";
    QTest::newRow("id zero") << header + "0,0.000,0,A,1.00,2.00,0.00,detected\n";
    QTest::newRow("unknown team") << header + "0,0.000,1,C,1.00,2.00,0.00,detected\n";
    QTest::newRow("unknown state") << header + "0,0.000,1,A,1.00,2.00,0.00,seen\n";
    QTest::newRow("not a number") << header + "0,0.000,1,A,one,2.00,0.00,detected\n";
    QTest::newRow("frame twice")
        << header + "0,0.000,1,A,1.00,2.00,0.00,detected\n0,0.000,1,A,1.00,2.00,0.00,detected\n";
}

void tst_PlayerTracks::refusesWhatIsNoTracksCsv()
{
    QFETCH(QByteArray, csv);
    QString error;
    QVERIFY(!TrackSet::fromCsv(csv, 25.0, &error));
    QVERIFY(!error.isEmpty());
}

void tst_PlayerTracks::fileKeepsNamesInTheSidecar()
{
    QTemporaryDir dir;
    const QString video = dir.filePath(QStringLiteral("match.mp4"));
    TracksFile file(video);
    QCOMPARE(file.target(), video + QStringLiteral(".tarvola-tracks.csv"));
    QVERIFY(!file.load(25.0).tracks);
    // The sidecar as the engine writes it: what it holds stays.
    QFile sidecar(TracksFile::sidecarOf(file.target()));
    QVERIFY(sidecar.open(QIODevice::WriteOnly));
    sidecar.write(R"({"format": "tarvola-tracks", "fps": 50, "frames": 9, "video": "match.mp4"})");
    sidecar.close();
    auto tracks = TrackSet::fromCsv(kCsv, 50.0, nullptr);
    tracks->tracks[0].name = QStringLiteral("Anna, \"the wall\"");
    QString error;
    QVERIFY2(TracksFile::save(*tracks, file.target(), &error), qPrintable(error));

    const TracksFile::Loaded loaded = file.load(25.0);
    QVERIFY2(loaded.tracks, qPrintable(loaded.error));
    QCOMPARE(loaded.path, file.target());
    QCOMPARE(loaded.tracks->fps, 50.0);
    QCOMPARE(loaded.tracks->frames, qint64(9));
    QCOMPARE(loaded.tracks->tracks[0].name, QStringLiteral("Anna, \"the wall\""));
    QVERIFY(sidecar.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(sidecar.readAll()).object().value("video").toString(),
        QStringLiteral("match.mp4"));

    // A broken file is reported, not taken.
    QFile csv(file.target());
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("garbage\n");
    csv.close();
    const TracksFile::Loaded broken = file.load(25.0);
    QVERIFY(!broken.tracks);
    QVERIFY(!broken.error.isEmpty());
}

void tst_PlayerTracks::tracksInTheDataFolderAreFound()
{
    QTemporaryDir dir;
    TracksFile file(dir.filePath(QStringLiteral("elsewhere.mp4")));
    QVERIFY(file.inDataFolder() != file.besideVideo());
    QVERIFY(QDir().mkpath(QFileInfo(file.inDataFolder()).absolutePath()));
    QVERIFY(TracksFile::save(*TrackSet::fromCsv(kCsv, 25.0, nullptr), file.inDataFolder(), nullptr));
    const TracksFile::Loaded loaded = file.load(25.0);
    QCOMPARE(loaded.path, file.inDataFolder());
    QVERIFY(loaded.tracks);
    QFile::remove(file.inDataFolder());
    QFile::remove(TracksFile::sidecarOf(file.inDataFolder()));
}

void tst_PlayerTracks::statsCountSpeedsOverFrames_data()
{
    QTest::addColumn<std::vector<TrackSample>>("samples");
    QTest::addColumn<double>("distance");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("above55");
    QTest::addColumn<double>("above7");
    // 10 frames a second in every row.
    QTest::newRow("standing") << std::vector { sample(0, 1, 1, 0), sample(1, 1, 1, 0) } << 0.0
                              << 0.0 << 0.0 << 0.0;
    QTest::newRow("steady 6 m/s for 1 s")
        << [] {
               std::vector<TrackSample> s;
               for (int f = 0; f <= 10; ++f)
                   s.push_back(sample(f, 0, 0.6 * f, 6.0));
               return s;
           }()
        << 6.0 << 6.0 << 1.1 << 0.0;
    QTest::newRow("sprint, a gap adds nothing")
        << std::vector { sample(0, 0, 0, 8.0), sample(1, 0, 0.8, 8.0), sample(5, 0, 4, 4.0),
               sample(6, 0, 4.4, 4.0) }
        << 1.2 << 8.0 << 0.2 << 0.2;
}

void tst_PlayerTracks::statsCountSpeedsOverFrames()
{
    QFETCH(std::vector<TrackSample>, samples);
    PlayerTrack track;
    track.samples = samples;
    const PlayerStats stats = PlayerStats::of(track, 10.0);
    QFETCH(double, distance);
    QFETCH(double, top);
    QFETCH(double, above55);
    QFETCH(double, above7);
    QVERIFY(std::abs(stats.distanceM - distance) < 1e-9);
    QCOMPARE(stats.topSpeedMps, top);
    QVERIFY(std::abs(stats.secondsAboveHighSpeed - above55) < 1e-9);
    QVERIFY(std::abs(stats.secondsAboveSprint - above7) < 1e-9);
}

void tst_PlayerTracks::twoTeamLayoutAt25HzFromTheTopLeft()
{
    // 50 frames a second: every second frame is a row; a player from the
    // top-left corner walking right along the top edge.
    TrackSet tracks;
    tracks.fps = 50.0;
    tracks.frames = 8;
    PlayerTrack home { 3, QStringLiteral("A"), QString(), {} };
    for (int f = 0; f < 8; ++f)
        home.samples.push_back(sample(f, 10.5 * f, 68.0, 1.0));
    PlayerTrack visitor { 4, QStringLiteral("B"), QString(), { sample(2, 52.5, 0.0, 0.0) } };
    PlayerTrack referee { 5, QString(), QString(), { sample(0, 50, 30, 0) } };
    tracks.tracks = { home, visitor, referee };

    const QList<QByteArray> lines
        = TwoTeamExport::teamCsv(tracks, QStringLiteral("A"), QStringLiteral("Home"), 68, 105)
              .split('\n');
    QCOMPARE(lines.value(0), QByteArray(",,,Home,,,"));
    QCOMPARE(lines.value(1), QByteArray(",,,3,,,"));
    QCOMPARE(lines.value(2), QByteArray("Period,Frame,Time [s],Player3,,Ball,"));
    QCOMPARE(lines.value(3), QByteArray("1,1,0.04,0.00000,0.00000,NaN,NaN"));
    QCOMPARE(lines.value(4), QByteArray("1,2,0.08,0.20000,0.00000,NaN,NaN"));
    QCOMPARE(lines.size(), 3 + 4 + 1);
    const QByteArray away = TwoTeamExport::teamCsv(
        tracks, QStringLiteral("B"), QStringLiteral("Away"), 68, 105);
    QVERIFY(away.contains("1,1,0.04,NaN,NaN,NaN,NaN\n1,2,0.08,0.50000,1.00000,NaN,NaN\n"));
    QVERIFY(!away.contains("Player5"));

    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("game.csv"));
    QCOMPARE(TwoTeamExport::write(tracks, 68, 105, out), QString());
    for (const QString& path : TwoTeamExport::filesFor(out))
        QVERIFY2(QFile::exists(path), qPrintable(path));
    // A folder that takes no file gets none of the three.
    const QString nowhere = dir.filePath(QStringLiteral("missing/game.csv"));
    QVERIFY(!TwoTeamExport::write(tracks, 68, 105, nowhere).isEmpty());
    for (const QString& path : TwoTeamExport::filesFor(nowhere))
        QVERIFY(!QFile::exists(path));
}

void tst_PlayerTracks::correctionsUndoAndAreSaved()
{
    // Track 2 lost the player at frame 2, track 9 took him up at frame 3.
    const QByteArray csv = QByteArray(kCsv) + "3,0.120,9,B,14.00,50.00,1.30,detected\n"
                                              "4,0.160,9,B,14.05,50.00,1.30,detected\n";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tracks.csv"));
    TrackStore store;
    store.setTracks(*TrackSet::fromCsv(csv, 25.0, nullptr), path);
    const auto saved = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const auto track = [&store](int id) { return store.tracks().tracks[store.tracks().indexOf(id)]; };

    QVERIFY(!store.merge(2, 2));
    QVERIFY(!store.split(2, 0)); // nothing before frame 0
    QVERIFY(store.merge(2, 9));
    QCOMPARE(store.tracks().tracks.size(), std::size_t(2));
    // Frame 3 stays track 2's own; frame 4 comes from track 9.
    QCOMPARE(track(2).samples.size(), std::size_t(4));
    QCOMPARE(track(2).at(3)->pitch.x(), 13.90);
    QCOMPARE(track(2).at(4)->pitch.x(), 14.05);
    QCOMPARE(saved(), store.tracks().toCsv());

    QVERIFY(store.setTeam(7, QStringLiteral("B")));
    QCOMPARE(track(7).team, QStringLiteral("B"));
    QVERIFY(store.remove(7));
    // A split gives an id never given in this file, also after a delete.
    QVERIFY(store.split(2, 3));
    QCOMPARE(track(10).firstFrame(), qint64(3));
    QCOMPARE(track(2).lastFrame(), qint64(1));
    QCOMPARE(saved(), store.tracks().toCsv());

    while (store.undoStack()->canUndo())
        store.undoStack()->undo();
    QCOMPARE(store.tracks().toCsv(), csv);
    QCOMPARE(saved(), csv);
    store.undoStack()->redo();
    QCOMPARE(store.tracks().tracks.size(), std::size_t(2));
}

QTEST_GUILESS_MAIN(tst_PlayerTracks)
#include "tst_PlayerTracks.moc"
