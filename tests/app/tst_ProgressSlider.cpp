// The seek bar: a left click jumps to the clicked position and reports a
// release at once; other buttons keep the standard slider handling.

#include "playback/ProgressSlider.h"

#include <QSignalSpy>
#include <QTest>

class tst_ProgressSlider : public QObject
{
    Q_OBJECT

private slots:
    void pressJumpsToClickedPosition_data();
    void pressJumpsToClickedPosition();
};

void tst_ProgressSlider::pressJumpsToClickedPosition_data()
{
    QTest::addColumn<Qt::Orientation>("orientation");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("releases");

    const auto H = Qt::Horizontal;
    const auto V = Qt::Vertical;
    const auto left = Qt::LeftButton;
    // The slider is 200 x 200 pixels.
    QTest::newRow("three quarters across") << H << 0 << 100 << left << QPoint(150, 10) << 75 << 1;
    QTest::newRow("left edge") << H << 0 << 100 << left << QPoint(0, 10) << 0 << 1;
    QTest::newRow("truncates toward zero") << H << 0 << 100 << left << QPoint(199, 10) << 99 << 1;
    QTest::newRow("offset range") << H << 10 << 110 << left << QPoint(50, 10) << 35 << 1;
    QTest::newRow("vertical counts from the bottom")
        << V << 0 << 100 << left << QPoint(10, 50) << 75 << 1;
    QTest::newRow("right button does not jump")
        << H << 0 << 100 << Qt::RightButton << QPoint(150, 10) << 0 << 0;
}

void tst_ProgressSlider::pressJumpsToClickedPosition()
{
    QFETCH(Qt::Orientation, orientation);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, position);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, value);
    QFETCH(int, releases);
    ProgressSlider slider(orientation);
    slider.setRange(minimum, maximum);
    slider.setValue(slider.minimum());
    slider.setFixedSize(200, 200);
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));
    QSignalSpy releaseSpy(&slider, &QSlider::sliderReleased);

    QTest::mousePress(&slider, button, {}, position);
    QCOMPARE(slider.value(), value);
    QCOMPARE(releaseSpy.count(), releases);
    QTest::mouseRelease(&slider, button, {}, position);
}

QTEST_MAIN(tst_ProgressSlider)
#include "tst_ProgressSlider.moc"
