// The start-up error: its text, with and without a cause, and the critical
// box that shows it.

#include "MainException.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <stdexcept>

class tst_MainException : public QObject
{
    Q_OBJECT

private slots:
    void messageAppendsCause_data();
    void messageAppendsCause();
    void showsModalCriticalBox();
};

void tst_MainException::messageAppendsCause_data()
{
    QTest::addColumn<bool>("withCause");
    QTest::addColumn<QString>("message");
    QTest::newRow("no cause") << false << "Could not load the Vistrel library.";
    QTest::newRow("cause") << true << "Could not load the Vistrel library. - disk gone";
}

void tst_MainException::messageAppendsCause()
{
    QFETCH(bool, withCause);
    QFETCH(QString, message);
    const std::runtime_error cause("disk gone");
    const MainException error(
        QStringLiteral("Could not load the Vistrel library."), withCause ? &cause : nullptr);
    QCOMPARE(error.message(), message);
}

void tst_MainException::showsModalCriticalBox()
{
    const MainException error(QStringLiteral("Could not load the Vistrel library."));
    QString title, text, informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool modal = false;
    QTimer closer; // the box is shown inside showErrorMessage: look for it
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        closer.stop();
        title = box->windowTitle();
        text = box->text();
        informative = box->informativeText();
        icon = box->icon();
        modal = box->isModal();
        box->accept();
    });
    closer.start();
    error.showErrorMessage(); // returns once the box is closed
    QCOMPARE(title, QStringLiteral("Tarvola found a critical error!"));
    QCOMPARE(text, QStringLiteral("Could not load the Vistrel library."));
    QCOMPARE(informative, QStringLiteral("Please check your installation."));
    QCOMPARE(icon, QMessageBox::Critical);
    QVERIFY(modal);
}

QTEST_MAIN(tst_MainException)
#include "tst_MainException.moc"
