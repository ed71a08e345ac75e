#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QResource>
#include <QtTest>

// The images compiled into the program: every one is present under both
// spellings the code uses, in its format and size, and actually drawn.
class tst_Images : public QObject
{
    Q_OBJECT

private slots:
    void loadsWithExpectedSize_data();
    void loadsWithExpectedSize();
    void folderHoldsExactlyTheImages();
    void iconFileIsStoredCompressed();
};

void tst_Images::loadsWithExpectedSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QByteArray>("format");

    const QSize button(46, 47), large(256, 256);
    QTest::newRow("Open") << "Open.png" << large << QByteArray("png");
    QTest::newRow("Play") << "Play.png" << button << QByteArray("png");
    QTest::newRow("Pause") << "Pause.png" << button << QByteArray("png");
    QTest::newRow("PlayFast") << "PlayFast.png" << button << QByteArray("png");
    QTest::newRow("PauseFast") << "PauseFast.png" << button << QByteArray("png");
    QTest::newRow("Stop") << "Stop.png" << button << QByteArray("png");
    QTest::newRow("StepForward") << "StepForward.png" << button << QByteArray("png");
    QTest::newRow("StepBackward") << "StepBackward.png" << button << QByteArray("png");
    QTest::newRow("FieldControls") << "FieldControls.png" << large << QByteArray("png");
    QTest::newRow("VideoControls") << "VideoControls.png" << large << QByteArray("png");
    QTest::newRow("Exit") << "Exit.png" << QSize(128, 128) << QByteArray("png");
    QTest::newRow("TarvolaIcon") << "TarvolaIcon.png" << QSize(64, 64) << QByteArray("png");
    QTest::newRow("SplashScreen") << "SplashScreen.png" << QSize(640, 480) << QByteArray("png");
    QTest::newRow("Tarvola.ico") << "Tarvola.ico" << QSize(64, 64) << QByteArray("ico");
}

void tst_Images::loadsWithExpectedSize()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QByteArray, format);

    for (const QString& path : { ":images/" + name, ":/images/" + name }) {
        QImageReader reader(path);
        QCOMPARE(reader.format(), format);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(path + ": " + reader.errorString()));
        QCOMPARE(image.size(), size);
        QVERIFY(image.hasAlphaChannel());
        QCOMPARE(image.depth(), 32);

        // Drawn, not blank: opaque pixels of more than one colour.
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        QSet<QRgb> opaque;
        for (int y = 0; y < argb.height(); y += 2)
            for (int x = 0; x < argb.width(); x += 2)
                if (qAlpha(argb.pixel(x, y)) == 255)
                    opaque.insert(argb.pixel(x, y));
        QVERIFY2(opaque.size() > 4, qPrintable(path));
        // Icons leave their corners clear; the splash screen covers its whole area.
        const bool splash = name == "SplashScreen.png";
        QCOMPARE(qAlpha(argb.pixel(0, 0)) == 255, splash);
    }
}

void tst_Images::folderHoldsExactlyTheImages()
{
    QCOMPARE(QDir(":/images").entryList(QDir::Files).size(), 14);
}

void tst_Images::iconFileIsStoredCompressed()
{
    const QResource icon(":/images/Tarvola.ico");
    QVERIFY(icon.isValid());
    QVERIFY(icon.compressionAlgorithm() != QResource::NoCompression);
}

int main(int argc, char** argv)
{
    // Only images are loaded: no screen needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    tst_Images test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_Images.moc"
