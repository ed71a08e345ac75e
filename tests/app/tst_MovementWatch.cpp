// The camera-movement watch in the main window, on a generated clip whose
// camera is knocked halfway through, with the true corners given.

#include "calibration/FieldControls.h"
#include "MainWindow.h"
#include "calibration/MovementWatch.h"
#include "ShellTestSupport.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

namespace {

constexpr double kFps = 25.0;
constexpr int kShiftFrame = 200;
constexpr int kFrames = 450;
constexpr int kShiftPx = 10;
constexpr int kTimeoutMs = 30000;

// A still 105 x 68 m pitch with fixed-width paint whose picture moves by
// (shiftX, shiftY) px from kShiftFrame on.
testclips::ClipSettings knockedCamera(int shiftX, int shiftY)
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = 640;
    clipSettings.height = 360;
    clipSettings.fps = kFps;
    clipSettings.frames = kFrames;
    clipSettings.players = 2;
    clipSettings.tilt = 0.4;
    clipSettings.shiftAtFrame = kShiftFrame;
    clipSettings.shiftXPx = shiftX;
    clipSettings.shiftYPx = shiftY;
    return clipSettings;
}

void typeDimension(QLineEdit* edit, const QString& text)
{
    edit->setText(text);
    emit edit->editingFinished();
}

} // namespace

class tst_MovementWatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void warnsAfterTheCameraMovedAndNotBefore_data();
    void warnsAfterTheCameraMovedAndNotBefore();

private:
    QTemporaryDir dir;
};

void tst_MovementWatch::initTestCase() { QStandardPaths::setTestModeEnabled(true); }

// Sideways the halfway line still fits and the circle is a few pixels off;
// downwards the halfway line leaves the fit's search range altogether.
void tst_MovementWatch::warnsAfterTheCameraMovedAndNotBefore_data()
{
    QTest::addColumn<int>("shiftX");
    QTest::addColumn<int>("shiftY");
    QTest::addColumn<QString>("says");
    QTest::newRow("sideways") << kShiftPx << 0 << QStringLiteral("px off");
    QTest::newRow("down") << 0 << kShiftPx << QStringLiteral("no longer near");
}

// Played at four times the video's speed: the checks follow the video's
// frames, not the wall clock.
void tst_MovementWatch::warnsAfterTheCameraMovedAndNotBefore()
{
    QFETCH(int, shiftX);
    QFETCH(int, shiftY);
    QFETCH(QString, says);
    const testclips::ClipSettings clipSettings = knockedCamera(shiftX, shiftY);
    const QString clip = dir.filePath(QStringLiteral("knocked%1%2.mkv").arg(shiftX).arg(shiftY));
    std::string error;
    QVERIFY2(
        testclips::writeClip(clipSettings, QFile::encodeName(clip).toStdString(), &error, false),
        error.c_str());
    VistrelInterface* engine = shelltest::loadEngine();
    QVERIFY(engine);
    MainWindow window(false, engine);
    window.show();
    window.openVideo(clip);
    auto* fieldControls = window.findChild<FieldControls*>();
    const QList<QLineEdit*> edits
        = fieldControls->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
    typeDimension(edits[0], QStringLiteral("68"));
    typeDimension(edits[1], QStringLiteral("105"));
    for (const cv::Point& corner : testclips::truthFor(clipSettings).corners)
        fieldControls->selectPoint(corner.x, corner.y, true);
    window.findChild<QSlider*>(QStringLiteral("speedSlider"))->setValue(100);

    auto* watch = window.findChild<MovementWatch*>();
    QSignalSpy moved(watch, &MovementWatch::cameraMoved);
    auto* warning = window.findChild<QLabel*>(QStringLiteral("movementWarning"));
    QVERIFY(warning->isHidden());
    const QString fitBefore = fieldControls->fitText();
    window.findChild<QAction*>(QStringLiteral("playAction"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!moved.isEmpty(), kTimeoutMs);

    const long long frame = moved.first().at(1).toLongLong();
    const long long latest = kShiftFrame
        + (MovementWatch::kPoorChecksInRow + 1) * MovementWatch::kCheckIntervalS * kFps;
    QVERIFY2(frame >= kShiftFrame && frame <= latest, qPrintable(QString::number(frame)));
    QVERIFY(warning->isVisible());
    QVERIFY2(warning->text().contains(says)
            && warning->text().endsWith(QStringLiteral("Find pitch (Ctrl+K) again?")),
        qPrintable(warning->text()));
    QVERIFY2(fieldControls->fitText() != fitBefore, qPrintable(fitBefore)); // not left stale
    auto* findAgain = window.findChild<QToolButton*>(QStringLiteral("findPitchAgainButton"));
    QVERIFY(findAgain->isVisible());

    // The button finds the pitch where the camera now shows it, and the
    // watch starts afresh on the new corners.
    QTest::mouseClick(findAgain, Qt::LeftButton);
    if (!fieldControls->cornersFound())
        QSKIP("this engine finds no corners");
    const cv::Point moved0
        = testclips::truthFor(clipSettings).corners[0] + cv::Point(shiftX, shiftY);
    QVERIFY((fieldControls->corners()[0] - QPoint(moved0.x, moved0.y)).manhattanLength() <= 4);
    QVERIFY(warning->isHidden());
    QVERIFY(findAgain->isHidden());
}

QTEST_MAIN(tst_MovementWatch)
#include "tst_MovementWatch.moc"
