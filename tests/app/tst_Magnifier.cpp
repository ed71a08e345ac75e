// The loupe shows the pixels round a point enlarged, the point's pixel in the
// middle, and keeps itself on screen.

#include "screens/Magnifier.h"

#include <QTest>

class TestMagnifier : public QObject
{
    Q_OBJECT

private slots:
    void enlargesThePixelsRoundThePoint();
    void staysInsideItsBounds_data();
    void staysInsideItsBounds();
};

void TestMagnifier::enlargesThePixelsRoundThePoint()
{
    // Every pixel has its own colour, so the loupe's blocks name their source.
    QImage frame(64, 48, QImage::Format_RGB888);
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x)
            frame.setPixelColor(x, y, QColor(x * 4, y * 5, 100));
    }
    const QImage loupe = Magnifier::render(frame, QPointF(2.4, 30.6));
    QCOMPARE(loupe.size(), QSize(Magnifier::kSidePx, Magnifier::kSidePx));
    const int span = Magnifier::kSidePx / Magnifier::kZoom;
    const int middle = (span / 2) * Magnifier::kZoom;
    // The pixel nearest the point, (2, 31), fills the middle block beside the
    // cross-hair's gap; one block to the right is (3, 31).
    QCOMPARE(loupe.pixelColor(middle + 1, middle + 1), frame.pixelColor(2, 31));
    QCOMPARE(loupe.pixelColor(middle + Magnifier::kZoom + 1, middle + 1), frame.pixelColor(3, 31));
    // Left of the picture's first column lies outside: dark grey.
    QCOMPARE(loupe.pixelColor(middle - 3 * Magnifier::kZoom + 1, middle + 1), QColor(40, 40, 40));
    QVERIFY(Magnifier::render(QImage(), QPointF()).isNull());
}

void TestMagnifier::staysInsideItsBounds_data()
{
    QTest::addColumn<QPoint>("cursor");
    QTest::addRow("room below right") << QPoint(100, 100);
    QTest::addRow("near the bottom right corner") << QPoint(790, 590);
}

void TestMagnifier::staysInsideItsBounds()
{
    QFETCH(QPoint, cursor);
    const QRect bounds(0, 0, 800, 600);
    const QRect placed = Magnifier::placeNear(cursor, Magnifier::kSidePx, bounds);
    QVERIFY(bounds.contains(placed));
    QVERIFY(!placed.contains(cursor));
}

QTEST_GUILESS_MAIN(TestMagnifier)
#include "tst_Magnifier.moc"
