// The field controls turn points into the engine's corner and centre calls;
// the engine here records those calls. The calibration assist (snapping, the
// fit, the dimension check) runs on the real engine and a generated pitch.

#include "DisplayTestSupport.h"
#include "calibration/FieldControls.h"
#include "RecordingEngine.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

QLabel* labelStartingWith(const QWidget& parent, const QString& caption)
{
    for (QLabel* label : parent.findChildren<QLabel*>()) {
        if (label->text().startsWith(caption))
            return label;
    }
    return nullptr;
}

QPushButton* button(const QWidget& parent, const QString& text)
{
    for (QPushButton* candidate : parent.findChildren<QPushButton*>()) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

// The three dimension edits in layout order: length, width, radius.
QList<QLineEdit*> dimensionEdits(const QWidget& parent)
{
    return parent.findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
}

const QList<QPoint> kClicks { { 102, 57 }, { 538, 61 }, { 20, 400 }, { 620, 410 }, { 320, 240 } };

// A still 105 x 68 m pitch with realistic paint, its length running from the
// bottom edge to the top edge.
testclips::ClipSettings markedPitch()
{
    testclips::ClipSettings clipSettings;
    clipSettings.width = 1280;
    clipSettings.height = 720;
    clipSettings.frames = 2;
    clipSettings.players = 0;
    clipSettings.tilt = 0.4;
    clipSettings.lineWidth = 0.12f;
    clipSettings.penaltyAreas = true;
    return clipSettings;
}

QPoint truePoint(const cv::Point& corner) { return QPoint(corner.x, corner.y); }

// Answers the next message box with button and keeps its text.
void answerNextMessageBox(QMessageBox::StandardButton button, QString* text)
{
    QTimer::singleShot(0, [button, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        *text = box->text();
        box->button(button)->click();
    });
}

void typeDimension(QLineEdit* edit, const QString& text)
{
    edit->setText(text);
    emit edit->editingFinished();
}

} // namespace

class TestFieldControls : public QObject
{
    Q_OBJECT

private slots:
    void startsWithDefaultsTellsEngineAndShowsCaptions();
    void eachPointCallsTheEngine_data();
    void eachPointCallsTheEngine();
    void labelsListTheGivenCorners_data();
    void labelsListTheGivenCorners();
    void clearForgetsPointsAndSignalsTheScreen();
    void typedDimensionsApplyAtOnce_data();
    void typedDimensionsApplyAtOnce();
    void undoTakesBackCentreThenCorner();
    void foundCornersReplaceAllPointsAndGoInOneUndo();
    void moveCornerGivesCornersAgain_data();
    void moveCornerGivesCornersAgain();
    void cornerClicksSnapToPaintedLines_data();
    void cornerClicksSnapToPaintedLines();
    void fitReadoutWarnsOfOffCorners();
    void checkDimensionsChangesEditsOnlyWhenAccepted();
    void offersTheMarkedSizeAfterAFoundPitch();

private:
    QTemporaryDir clipDir;
    // Loads the marked pitch into the real engine, once; false without one.
    bool loadMarkedPitch();
    bool pitchLoaded = false;
};

bool TestFieldControls::loadMarkedPitch()
{
    VistrelInterface* engine = displaytest::engine();
    if (!engine)
        return false;
    if (!pitchLoaded) {
        const QString path = displaytest::writeClip(clipDir, markedPitch(), "marked.mkv");
        pitchLoaded = !path.isEmpty() && engine->LoadVideo(path.toStdString()) == 0;
    }
    engine->clearFieldPoints();
    return pitchLoaded;
}

void TestFieldControls::startsWithDefaultsTellsEngineAndShowsCaptions()
{
    RecordingEngine engine;
    FieldControls controls(&engine);

    QCOMPARE(engine.calls,
        QStringList({ "setFieldLength(36)", "setFieldWidth(27)", "setCentreCircleRadius(5)" }));
    QCOMPARE(controls.remainingCorners(), 4);
    QCOMPARE(controls.fieldLinesThickness(), 2);
    QCOMPARE(controls.centreLinesThickness(), 2);
    QCOMPARE(controls.clickSigma(), 1.0);
    const QList<QLineEdit*> edits = dimensionEdits(controls);
    QCOMPARE(edits.size(), 3);
    QCOMPARE(edits[0]->text(), QString("36"));
    QCOMPARE(edits[1]->text(), QString("27"));
    QCOMPARE(edits[2]->text(), QString("5"));

    QStringList texts;
    for (const QLabel* label : controls.findChildren<QLabel*>())
        texts << label->text();
    QCOMPARE(texts,
        QStringList({ "Marked Top Points: ", "Marked Bottom Points: ", "Length: ", "Width: ",
            "Radius: ", "", "Centre circle: ", "", "Click accuracy: ", "Line Display Preferences",
            "Field Lines: ", "Width ", "Game Center: ", "Width " }));
    for (const char* text :
        { "Defaults", "Clear", "Check dimensions", "Line Colors", "Center Colors" })
        QVERIFY2(button(controls, text), text);
}

void TestFieldControls::eachPointCallsTheEngine_data()
{
    QTest::addColumn<int>("pointCount");
    QTest::addColumn<QStringList>("lastPointCalls");
    QTest::addColumn<int>("remaining");
    QTest::addColumn<bool>("linesFilled");

    const QStringList dimensions { "setFieldLength(36)", "setFieldWidth(27)",
        "setCentreCircleRadius(5)" };
    QTest::newRow("top left") << 1 << QStringList { "addFieldPoint(0,102,57)" } + dimensions << 3
                              << false;
    QTest::newRow("top right") << 2 << QStringList { "addFieldPoint(0,538,61)" } + dimensions << 2
                               << false;
    QTest::newRow("bottom left") << 3 << QStringList { "addFieldPoint(1,20,400)" } + dimensions << 1
                                 << false;
    QTest::newRow("bottom right is also the centre") << 4
                                                     << QStringList { "addFieldPoint(1,620,410)",
                                                            "setGameCentre(620,410)",
                                                            "getFieldLines()", "getCentreLines()" }
            + dimensions << 0 << true;
    QTest::newRow("fifth point only moves the centre")
        << 5 << QStringList { "setGameCentre(320,240)", "getCentreLines()" } + dimensions << 0
        << true;
}

void TestFieldControls::eachPointCallsTheEngine()
{
    QFETCH(int, pointCount);
    QFETCH(QStringList, lastPointCalls);
    QFETCH(int, remaining);
    QFETCH(bool, linesFilled);

    RecordingEngine engine;
    FieldControls controls(&engine);
    for (int i = 0; i < pointCount - 1; ++i)
        controls.selectPoint(kClicks[i].x(), kClicks[i].y());
    // Lines fetched at the fourth point stay, even when the engine's change.
    engine.fieldLines = { { 9, 9, 9, 9 } };
    engine.centreLines = { { 7, 7, 7, 7 }, { 6, 6, 6, 6 } };
    engine.calls.clear();

    controls.selectPoint(kClicks[pointCount - 1].x(), kClicks[pointCount - 1].y());

    QCOMPARE(engine.calls, lastPointCalls);
    QCOMPARE(controls.remainingCorners(), remaining);
    QCOMPARE(controls.cornersComplete(), remaining == 0);
    QCOMPARE(controls.fieldLines().size(), linesFilled ? 1u : 0u);
    QCOMPARE(controls.centreLines().size(), linesFilled ? 2u : 0u);
    if (pointCount == 5)
        QCOMPARE(controls.fieldLines().front().x1, 1); // fetched at the fourth point
    const std::vector<QPoint> corners = controls.corners();
    for (int i = 0; i < 4; ++i)
        QCOMPARE(corners[i], i < pointCount ? kClicks[i] : QPoint(0, 0));
}

void TestFieldControls::labelsListTheGivenCorners_data()
{
    QTest::addColumn<int>("pointCount");
    QTest::addColumn<QString>("top");
    QTest::addColumn<QString>("bottom");

    QTest::newRow("none") << 0 << "Marked Top Points: "
                          << "Marked Bottom Points: ";
    QTest::newRow("one") << 1 << "Marked Top Points: (102 , 57)"
                         << "Marked Bottom Points: ";
    QTest::newRow("two") << 2 << "Marked Top Points: (102 , 57) , (538 , 61)"
                         << "Marked Bottom Points: ";
    QTest::newRow("three") << 3 << "Marked Top Points: (102 , 57) , (538 , 61)"
                           << "Marked Bottom Points: (20 , 400)";
    QTest::newRow("four") << 4 << "Marked Top Points: (102 , 57) , (538 , 61)"
                          << "Marked Bottom Points: (20 , 400) , (620 , 410)";
    QTest::newRow("a centre changes nothing") << 5 << "Marked Top Points: (102 , 57) , (538 , 61)"
                                              << "Marked Bottom Points: (20 , 400) , (620 , 410)";
}

void TestFieldControls::labelsListTheGivenCorners()
{
    QFETCH(int, pointCount);
    QFETCH(QString, top);
    QFETCH(QString, bottom);

    RecordingEngine engine;
    FieldControls controls(&engine);
    for (int i = 0; i < pointCount; ++i)
        controls.selectPoint(kClicks[i].x(), kClicks[i].y());

    QCOMPARE(labelStartingWith(controls, "Marked Top Points: ")->text(), top);
    QCOMPARE(labelStartingWith(controls, "Marked Bottom Points: ")->text(), bottom);
}

void TestFieldControls::clearForgetsPointsAndSignalsTheScreen()
{
    RecordingEngine engine;
    FieldControls controls(&engine);
    controls.show();
    for (int i = 0; i < 5; ++i)
        controls.selectPoint(kClicks[i].x(), kClicks[i].y());
    QSignalSpy resets(&controls, &FieldControls::signalResetPoints);
    engine.calls.clear();

    QTest::mouseClick(button(controls, "Clear"), Qt::LeftButton);

    QCOMPARE(resets.count(), 1);
    QCOMPARE(engine.calls, QStringList { "clearFieldPoints()" });
    QCOMPARE(controls.remainingCorners(), 4);
    QVERIFY(controls.fieldLines().empty());
    QVERIFY(controls.centreLines().empty());
    QCOMPARE(controls.corners(), std::vector<QPoint>(4, QPoint(0, 0)));
    QCOMPARE(
        labelStartingWith(controls, "Marked Top Points: ")->text(), QString("Marked Top Points: "));
    QCOMPARE(labelStartingWith(controls, "Marked Bottom Points: ")->text(),
        QString("Marked Bottom Points: "));

    engine.calls.clear();
    controls.selectPoint(11, 12);
    QCOMPARE(engine.calls.first(), QString("addFieldPoint(0,11,12)"));
}

// Under a decimal-comma locale, both notations are read as the user means
// them; a refused entry keeps the last good value and says why.
void TestFieldControls::typedDimensionsApplyAtOnce_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("engineGets"); // the radius the engine holds afterwards
    QTest::addColumn<bool>("refused");
    QTest::newRow("decimal comma") << "52,5"
                                   << "52.5" << false;
    QTest::newRow("decimal point") << "9.15"
                                   << "9.15" << false;
    QTest::newRow("largest") << "10000"
                             << "10000" << false;
    QTest::newRow("zero") << "0"
                          << "5" << true;
    QTest::newRow("emptied") << ""
                             << "5" << true;
    QTest::newRow("too large") << "10000,5"
                               << "5" << true;
}

void TestFieldControls::typedDimensionsApplyAtOnce()
{
    QFETCH(QString, typed);
    QFETCH(QString, engineGets);
    QFETCH(bool, refused);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    RecordingEngine engine;
    FieldControls controls(&engine);
    QSignalSpy overlay(&controls, &FieldControls::signalOverlayChanged);
    for (int i = 0; i < 4; ++i)
        controls.selectPoint(kClicks[i].x(), kClicks[i].y());
    engine.calls.clear();

    QLineEdit* radiusEdit = dimensionEdits(controls)[2];
    radiusEdit->setText(typed);
    emit radiusEdit->editingFinished(); // Enter or the focus leaving

    QCOMPARE(engine.callsTo("setCentreCircleRadius").last(),
        QString("setCentreCircleRadius(%1)").arg(engineGets));
    // The corners are given again, so the overlay shows the new size now.
    QCOMPARE(engine.callsTo("setGameCentre"), QStringList { "setGameCentre(620,410)" });
    QVERIFY(overlay.count() > 1);
    QCOMPARE(controls.dimensionError().contains("Radius"), refused);
    QLocale::setDefault(QLocale::c());
}

void TestFieldControls::undoTakesBackCentreThenCorner()
{
    RecordingEngine engine;
    FieldControls controls(&engine);
    for (int i = 0; i < 5; ++i)
        controls.selectPoint(kClicks[i].x(), kClicks[i].y());
    engine.calls.clear();

    controls.undoLastPoint(); // the fifth click, a centre
    QCOMPARE(engine.calls.first(), QString("setGameCentre(620,410)"));
    QCOMPARE(controls.remainingCorners(), 0);

    engine.calls.clear();
    controls.undoLastPoint(); // the fourth corner and its centre
    QCOMPARE(controls.remainingCorners(), 1);
    QCOMPARE(engine.callsTo("addFieldPoint"),
        QStringList(
            { "addFieldPoint(0,102,57)", "addFieldPoint(0,538,61)", "addFieldPoint(1,20,400)" }));
    QVERIFY(engine.callsTo("setGameCentre").isEmpty());
    QVERIFY(controls.centreLines().empty());

    controls.selectPoint(600, 400); // the bottom right corner again
    QCOMPARE(controls.corners()[3], QPoint(600, 400));
}

// Centres clicked after a search go first, one by one; then the found
// corners all at once, giving back the clicked ones they replaced.
void TestFieldControls::foundCornersReplaceAllPointsAndGoInOneUndo()
{
    RecordingEngine engine;
    FieldControls controls(&engine);
    controls.selectPoint(kClicks[0].x(), kClicks[0].y());
    controls.selectPoint(kClicks[1].x(), kClicks[1].y());
    const std::array<QPoint, FieldControls::kCornerCount> found { QPoint(100, 50), QPoint(540, 60),
        QPoint(22, 401), QPoint(618, 411) };
    controls.setFoundCorners(found);
    QVERIFY(controls.cornersFound());
    QCOMPARE(controls.corners(), std::vector<QPoint>(found.begin(), found.end()));
    // The game centre on the pitch's centre (where the diagonals cross),
    // not on a corner.
    QCOMPARE(controls.gameCentre(), std::optional(QPoint(321, 204)));
    QCOMPARE(controls.snapMoves().size(), found.size()); // a marker on each
    controls.selectPoint(kClicks[4].x(), kClicks[4].y());

    controls.undoLastPoint(); // the centre
    QCOMPARE(controls.remainingCorners(), 0);
    engine.calls.clear();
    controls.undoLastPoint(); // the search
    QCOMPARE(controls.remainingCorners(), 2);
    QCOMPARE(engine.callsTo("addFieldPoint"),
        QStringList({ "addFieldPoint(0,102,57)", "addFieldPoint(0,538,61)" }));
    QVERIFY(!controls.cornersFound());
    QVERIFY(controls.snapMoves().empty());
}

void TestFieldControls::moveCornerGivesCornersAgain_data()
{
    QTest::addColumn<int>("pointCount");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("expectedCalls");

    QTest::newRow("index below range") << 4 << -1 << QStringList {};
    QTest::newRow("index above range") << 4 << 4 << QStringList {};
    QTest::newRow("all corners, the moved one becomes the centre")
        << 4 << 2
        << QStringList { "clearFieldPoints()", "addFieldPoint(0,102,57)", "addFieldPoint(0,538,61)",
               "addFieldPoint(1,30,390)", "addFieldPoint(1,620,410)", "setGameCentre(30,390)",
               "getFieldLines()", "getCentreLines()" };
    QTest::newRow("two corners given: only they are given again")
        << 2 << 1
        << QStringList { "clearFieldPoints()", "addFieldPoint(0,102,57)",
               "addFieldPoint(0,30,390)" };
    QTest::newRow("a corner not yet given stays unmoved") << 2 << 2 << QStringList {};
}

void TestFieldControls::moveCornerGivesCornersAgain()
{
    QFETCH(int, pointCount);
    QFETCH(int, index);
    QFETCH(QStringList, expectedCalls);

    RecordingEngine engine;
    FieldControls controls(&engine);
    for (int i = 0; i < pointCount; ++i)
        controls.selectPoint(kClicks[i].x(), kClicks[i].y());
    engine.calls.clear();

    controls.moveCorner(index, 30, 390);

    QCOMPARE(engine.calls, expectedCalls);
    QCOMPARE(controls.remainingCorners(), 4 - pointCount);
    if (!expectedCalls.isEmpty())
        QCOMPARE(controls.corners()[index], QPoint(30, 390));
}

void TestFieldControls::cornerClicksSnapToPaintedLines_data()
{
    QTest::addColumn<bool>("altHeld");
    QTest::addColumn<bool>("snapBoxOn");
    QTest::addColumn<bool>("snaps");

    QTest::newRow("plain click snaps") << false << true << true;
    QTest::newRow("Alt places exactly") << true << true << false;
    QTest::newRow("box off places exactly") << false << false << false;
}

// A click a few pixels off a corner lands on the crossing of the painted
// lines, and the move from the click is kept for the screens to show.
void TestFieldControls::cornerClicksSnapToPaintedLines()
{
    QFETCH(bool, altHeld);
    QFETCH(bool, snapBoxOn);
    QFETCH(bool, snaps);
    if (!loadMarkedPitch())
        QSKIP("no engine or no generated clip");
    FieldControls controls(displaytest::engine());
    controls.findChild<QCheckBox*>()->setChecked(snapBoxOn);
    const testclips::ClipTruth truth = testclips::truthFor(markedPitch());
    const QPoint click = truePoint(truth.corners[0]) + QPoint(3, -3);

    controls.selectPoint(click.x(), click.y(), altHeld);

    const QPoint corner = controls.corners()[0];
    if (snaps) {
        QVERIFY2((corner - truePoint(truth.corners[0])).manhattanLength() <= 2,
            qPrintable(QStringLiteral("%1,%2").arg(corner.x()).arg(corner.y())));
        QCOMPARE(controls.snapMoves().size(), size_t(1));
        QCOMPARE(controls.snapMoves()[0].p1().toPoint(), click);
    } else {
        QCOMPARE(corner, click);
        QVERIFY(controls.snapMoves().empty());
    }
}

// The true corners fit the paint closely; a corner 8 px off reads clearly
// worse, and the whole top edge 8 px off turns the readout into a warning.
void TestFieldControls::fitReadoutWarnsOfOffCorners()
{
    if (!loadMarkedPitch())
        QSKIP("no engine or no generated clip");
    FieldControls controls(displaytest::engine());
    const QList<QLineEdit*> edits = dimensionEdits(controls);
    typeDimension(edits[0], "68");
    typeDimension(edits[1], "105");
    const testclips::ClipTruth truth = testclips::truthFor(markedPitch());
    for (const cv::Point& corner : truth.corners) {
        QVERIFY(controls.fitText().isEmpty());
        controls.selectPoint(corner.x, corner.y, true);
    }
    const QRegularExpression number(R"(^fit (\d+\.\d) px)");
    auto fitPx = [&] { return number.match(controls.fitText()).captured(1).toDouble(); };
    QVERIFY2(number.match(controls.fitText()).hasMatch(), qPrintable(controls.fitText()));
    const double truePx = fitPx();
    QVERIFY2(truePx < 1.0 && !controls.fitIsPoor(), qPrintable(controls.fitText()));

    for (int corner : { 1, 0 }) {
        const QPoint off = truePoint(truth.corners[corner]) + QPoint(0, 8);
        controls.moveCorner(corner, off.x(), off.y());
        QVERIFY2(fitPx() > truePx + 1.0, qPrintable(controls.fitText()));
    }
    QVERIFY(controls.fitIsPoor());
    QVERIFY2(controls.fitText().endsWith(" px: check the corners and dimensions"),
        qPrintable(controls.fitText()));
}

// The markings' estimate is only proposed: declining keeps the typed
// dimensions, accepting applies the estimate as if typed.
void TestFieldControls::checkDimensionsChangesEditsOnlyWhenAccepted()
{
    if (!loadMarkedPitch())
        QSKIP("no engine or no generated clip");
    FieldControls controls(displaytest::engine());
    const QList<QLineEdit*> edits = dimensionEdits(controls);
    const testclips::ClipTruth truth = testclips::truthFor(markedPitch());
    for (const cv::Point& corner : truth.corners)
        controls.selectPoint(corner.x, corner.y, true);
    QString question;

    answerNextMessageBox(QMessageBox::No, &question);
    controls.checkDimensions();
    QVERIFY2(question.startsWith("The markings suggest "), qPrintable(question));
    QCOMPARE(edits[0]->text(), QString("36"));
    QCOMPARE(edits[1]->text(), QString("27"));
    QCOMPARE(displaytest::engine()->getFieldLength(), 36.0f);

    answerNextMessageBox(QMessageBox::Yes, &question);
    controls.checkDimensions();
    QVERIFY2(std::abs(controls.fieldLength() - 68.0f) < 0.03f * 68.0f, qPrintable(question));
    QVERIFY2(std::abs(controls.fieldWidth() - 105.0f) < 0.03f * 105.0f, qPrintable(question));
    QCOMPARE(edits[0]->text(), QString::number(double(controls.fieldLength()), 'f', 1));
    QCOMPARE(displaytest::engine()->getFieldLength(), controls.fieldLength());
}

// After Find Pitch with the default size still typed, the size the markings
// imply is offered at once and applied when accepted; once it is typed,
// nothing is asked.
void TestFieldControls::offersTheMarkedSizeAfterAFoundPitch()
{
    if (!loadMarkedPitch())
        QSKIP("no engine or no generated clip");
    FieldControls controls(displaytest::engine());
    const testclips::ClipTruth truth = testclips::truthFor(markedPitch());
    std::array<QPoint, FieldControls::kCornerCount> corners;
    for (std::size_t i = 0; i < corners.size(); ++i)
        corners[i] = truePoint(truth.corners[i]);
    controls.setFoundCorners(corners);
    QString question;
    answerNextMessageBox(QMessageBox::Yes, &question);
    controls.offerMarkedSize();
    QVERIFY2(question.startsWith("The markings suggest ") && question.endsWith(" m. Use these?"),
        qPrintable(question));
    QVERIFY(std::abs(controls.fieldLength() - 68.0f) < 0.03f * 68.0f);
    QVERIFY(std::abs(controls.fieldWidth() - 105.0f) < 0.03f * 105.0f);

    question.clear();
    QTimer::singleShot(0, [&question] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            question = box->text();
            box->button(QMessageBox::No)->click();
        }
    });
    controls.offerMarkedSize();
    QCoreApplication::processEvents();
    QVERIFY2(question.isEmpty(), qPrintable(question));
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TestFieldControls test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_FieldControls.moc"
