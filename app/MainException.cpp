#include "MainException.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <cstdlib>

#include <stdexcept>

MainException::MainException(const QString& message, const std::exception* cause)
    : text(message)
{
    if (cause) {
        this->cause = std::make_unique<std::runtime_error>(cause->what());
        text += QStringLiteral(" - ") + QString::fromLocal8Bit(cause->what());
    }
}

MainException::~MainException() = default;

void MainException::showErrorMessage() const
{
    QMessageBox box;
    box.setIcon(QMessageBox::Critical);
    box.setWindowTitle(QStringLiteral("Tarvola found a critical error!"));
    box.setText(text);
    box.setInformativeText(QStringLiteral("Please check your installation."));
    box.exec();
}

void MainException::reportMissingEngine()
{
    MainException(QCoreApplication::translate("MainException", "Could not load the Vistrel library."))
        .showErrorMessage();
}

void MainException::endForMissingEngine()
{
    reportMissingEngine();
    std::exit(-1);
}
