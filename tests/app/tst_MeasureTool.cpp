// Measure mode end to end: the main window with the real engine, measuring
// on generated clips whose camera is known, and on the drone footage.

#include "DisplayTestSupport.h"
#include "calibration/FieldControls.h"
#include "MainWindow.h"
#include "measuring/MeasurementModel.h"
#include "screens/OpenGLProbe.h"
#include "playback/VideoControls.h"
#include "screens/VideoScreen.h"
#include "screens/VideoScreenGL.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

#include <cmath>
#include <memory>

namespace {

constexpr double kClickTolerance = 0.005; // integer clicks: within 0.5 %

} // namespace

class tst_MeasureTool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void clicksAndDragMeasureTrueDistances_data();
    void clicksAndDragMeasureTrueDistances();
    void deleteAndUndo();
    void nothingIsMeasuredBeforeCalibration();
    void readoutShowsMetresUnderTheMouse();
    void droneClipMeasuresItsMarkings();

private:
    void openWindow(bool useOpenGL, const QString& path);
    void giveCorners(const QList<QPoint>& corners);
    void startMeasuring();
    QWidget* screen() const { return window->centralWidget(); }
    // The widget position that names video pixel `video` on the screen in use.
    QPoint widgetPoint(const QPointF& video) const;
    void click(const QPointF& video);
    void drag(const QPointF& from, const QPointF& to);
    MeasurementModel* model() const { return window->findChild<MeasurementModel*>(); }
    QList<QPoint> trueCorners() const
    {
        QList<QPoint> corners;
        for (const cv::Point& corner : truth.corners)
            corners << QPoint(corner.x, corner.y);
        return corners;
    }
    QString readout() const { return window->findChild<QLabel*>("pitchReadout")->text(); }

    QTemporaryDir dir;
    testclips::ClipSettings clipSettings;
    testclips::ClipTruth truth;
    QString clip;
    std::unique_ptr<MainWindow> window;
};

void tst_MeasureTool::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    if (!displaytest::engine())
        QSKIP("the engine library has no working factory");
    clipSettings = displaytest::pitchSettings(640, 480, 3);
    truth = testclips::truthFor(clipSettings);
    clip = displaytest::writeClip(dir, clipSettings, QStringLiteral("pitch.mkv"));
    QVERIFY(!clip.isEmpty());
}

void tst_MeasureTool::cleanup() { window.reset(); }

void tst_MeasureTool::openWindow(bool useOpenGL, const QString& path)
{
    window = std::make_unique<MainWindow>(useOpenGL, displaytest::engine());
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    // Nothing kept beside the clip by the test before comes back.
    QFile::remove(path + QStringLiteral(".tarvola.json"));
    auto* controls = window->findChild<VideoControls*>();
    controls->loadFile(path);
    QTRY_VERIFY(controls->currentFrameIndex() >= 0);
    window->findChild<FieldControls*>()->resetPoints();
    QTest::qWait(100); // the first frame reaches the screen
}

void tst_MeasureTool::giveCorners(const QList<QPoint>& corners)
{
    auto* fields = window->findChild<FieldControls*>();
    for (const QPoint& corner : corners)
        fields->selectPoint(corner.x(), corner.y());
    QVERIFY(fields->cornersComplete());
}

// M, and the Measurements dock it opens laid out before any click.
void tst_MeasureTool::startMeasuring()
{
    // A window shortcut only fires in the active window; on a busy machine
    // the activation can still be on its way.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_M);
    QVERIFY(window->findChild<QAction*>("measureAction")->isChecked());
    QTest::qWait(50);
}

QPoint tst_MeasureTool::widgetPoint(const QPointF& video) const
{
    QTransform toWidget;
    if (auto* plain = qobject_cast<VideoScreen*>(screen()))
        toWidget = plain->videoToWidget();
    else
        toWidget = qobject_cast<VideoScreenGL*>(screen())->videoToWidget();
    // A widget pixel stands for its centre, half a pixel on.
    return (toWidget.map(video) - QPointF(0.5, 0.5)).toPoint();
}

void tst_MeasureTool::click(const QPointF& video)
{
    QTest::mouseMove(screen(), widgetPoint(video));
    QTest::mouseClick(screen(), Qt::LeftButton, {}, widgetPoint(video));
}

void tst_MeasureTool::drag(const QPointF& from, const QPointF& to)
{
    QTest::mousePress(screen(), Qt::LeftButton, {}, widgetPoint(from));
    QTest::mouseMove(screen(), widgetPoint((from + to) / 2));
    QTest::mouseMove(screen(), widgetPoint(to));
    QTest::mouseRelease(screen(), Qt::LeftButton, {}, widgetPoint(to));
}

void tst_MeasureTool::clicksAndDragMeasureTrueDistances_data()
{
    QTest::addColumn<bool>("useOpenGL");
    QTest::newRow("plain") << false;
    QTest::newRow("opengl") << true;
}

// Pitch points far apart in both directions, clicked on the nearest pixel
// of their true picture positions.
void tst_MeasureTool::clicksAndDragMeasureTrueDistances()
{
    QFETCH(bool, useOpenGL);
    if (useOpenGL && !OpenGLProbe::available())
        QSKIP("no OpenGL on this display");
    openWindow(useOpenGL, clip);
    giveCorners(trueCorners());
    startMeasuring();
    QVERIFY(window->findChild<QAction*>("measureAction")->isChecked());

    const struct
    {
        cv::Point2d from, to;
    } lines[] = { { { 3, 4 }, { 24, 30 } }, { { 25, 2 }, { 5, 33 } } };
    const auto picture = [this](cv::Point2d p) {
        const cv::Point2d at = truth.toPicture(p.x, p.y);
        return QPointF(std::round(at.x), std::round(at.y));
    };
    click(picture(lines[0].from));
    click(picture(lines[0].to));
    drag(picture(lines[1].from), picture(lines[1].to));

    QCOMPARE(model()->rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        const double expected
            = std::hypot(lines[row].to.x - lines[row].from.x, lines[row].to.y - lines[row].from.y);
        const Measurement& m = model()->at(row);
        QVERIFY(m.measured);
        QVERIFY2(std::abs(m.distance.metres - expected) < kClickTolerance * expected,
            qPrintable(QStringLiteral("%1 m against %2 m").arg(m.distance.metres).arg(expected)));
        QVERIFY(m.distance.sigmaMetres > 0.0);
    }
}

void tst_MeasureTool::deleteAndUndo()
{
    openWindow(false, clip);
    giveCorners(trueCorners());
    startMeasuring();
    click({ 200, 200 });
    click({ 400, 300 });
    click({ 300, 150 });
    click({ 350, 350 });
    QCOMPARE(model()->rowCount(), 2);
    const QPointF secondEnd = model()->at(1).to;

    auto* table = window->findChild<QTableView*>("measurementsTable");
    table->selectRow(0);
    QTest::keyClick(window.get(), Qt::Key_Delete);
    QCOMPARE(model()->rowCount(), 1);
    QCOMPARE(model()->at(0).to, secondEnd);

    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(model()->rowCount(), 2);
    QVERIFY((model()->at(0).to - QPointF(400, 300)).manhattanLength() < 1.0);
    // The next undo takes back the second measurement, not a corner.
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(model()->rowCount(), 1);
    QVERIFY(window->findChild<FieldControls*>()->cornersComplete());
}

void tst_MeasureTool::nothingIsMeasuredBeforeCalibration()
{
    openWindow(false, clip);
    startMeasuring();
    click({ 100, 100 });
    click({ 300, 200 });
    QCOMPARE(model()->rowCount(), 0);
    QVERIFY(window->statusText().startsWith(QStringLiteral("Click the four corners first")));
    QVERIFY(readout().isEmpty());
    QCOMPARE(window->findChild<FieldControls*>()->remainingCorners(), 4);
}

void tst_MeasureTool::readoutShowsMetresUnderTheMouse()
{
    openWindow(false, clip);
    giveCorners(trueCorners());
    const cv::Point2d at = truth.toPicture(12.0, 20.0);
    const QPoint target = widgetPoint(QPointF(at.x, at.y));
    const QRegularExpression pattern(QStringLiteral("^x (\\d+\\.\\d\\d) m  y (\\d+\\.\\d\\d) m$"));
    // The move may reach the screen through the window system's queue, and
    // on a loaded machine before its first picture: move again until it
    // answers, within the half pixel the mouse stands for.
    const auto readsTarget = [&] {
        QTest::mouseMove(screen(), target + QPoint(1, 0));
        QTest::mouseMove(screen(), target);
        const QRegularExpressionMatch match = pattern.match(readout());
        return match.hasMatch() && std::abs(match.captured(1).toDouble() - 12.0) < 0.1
            && std::abs(match.captured(2).toDouble() - 20.0) < 0.1;
    };
    QTRY_VERIFY2(readsTarget(), qPrintable(readout()));
}

// The drone footage, corners and markings as read off its first frame; the
// window shot is left in the work folder to be looked at.
void tst_MeasureTool::droneClipMeasuresItsMarkings()
{
    const QString media
        = QStringLiteral(TARVOLA_MEDIA_DIR "/soccer_drone_topdown_1260x708_60fps.mp4");
    if (!QFile::exists(media))
        QSKIP("no real footage here");
    // A copy: the calibration is kept beside the video, never in the media folder.
    const QString drone = dir.filePath(QStringLiteral("drone.mp4"));
    QVERIFY(QFile::exists(drone) || QFile::copy(media, drone));
    openWindow(false, drone);
    const QList<QLineEdit*> edits
        = window->findChild<FieldControls*>()->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
    // The picture's top and bottom touchlines are the long sides.
    edits[0]->setText(QStringLiteral("68"));
    emit edits[0]->editingFinished();
    edits[1]->setText(QStringLiteral("105"));
    emit edits[1]->editingFinished();
    giveCorners({ { 152, 40 }, { 1125, 37 }, { 154, 660 }, { 1118, 672 } });
    startMeasuring();

    click({ 633, 40 }); // the halfway line, touchline to touchline
    click({ 630, 666 });
    drag({ 548, 354 }, { 714, 354 }); // the centre circle across
    QCOMPARE(model()->rowCount(), 2);
    const double halfway = model()->at(0).distance.metres;
    const double circle = model()->at(1).distance.metres;
    qInfo("halfway line %.2f m ± %.2f m, circle %.2f m ± %.2f m", halfway,
        model()->at(0).distance.sigmaMetres, circle, model()->at(1).distance.sigmaMetres);
    QVERIFY(std::abs(halfway - 68.0) < 0.015 * 68.0);
    QVERIFY(std::abs(circle - 18.3) < 0.03 * 18.3);

    QTest::mouseMove(screen(), widgetPoint({ 300, 560 }));
    QTest::qWait(100);
    QVERIFY(window->grab().save(QStringLiteral("measure_drone.png")));
}

QTEST_MAIN(tst_MeasureTool)
#include "tst_MeasureTool.moc"
