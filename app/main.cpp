#include "cli/BatchExport.h"
#include "cli/CommandLine.h"
#include "engine/EngineLibrary.h"
#include "MainWindow.h"
#include "screens/OpenGLProbe.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSplashScreen>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

constexpr std::chrono::milliseconds kSplashPause { 2000 };
constexpr Qt::Alignment kSplashAlignment = Qt::AlignTop | Qt::AlignRight;

void warnNoOpenGL()
{
    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QStringLiteral("Warning: "));
    box.setText(QStringLiteral("This system has no OpenGL support. "));
    box.setInformativeText(
        QStringLiteral("Tarvola performs better in systems with OpenGL available."));
    box.exec();
}

void showSplashMessage(QSplashScreen& splash, const QString& message)
{
    splash.showMessage(message, kSplashAlignment, Qt::white);
    QCoreApplication::processEvents();
}

// The one optional argument: a video to open once the window is shown.
void openLater(MainWindow& window, const char* argument)
{
    const QString path = QFile::decodeName(argument);
    if (!QFileInfo(path).isFile()) {
        std::fprintf(stderr, "tarvola: no such video file: %s\n", argument);
        return;
    }
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QTimer::singleShot(0, &window, [&window, absolute] { window.openVideo(absolute); });
}

QStringList argumentsOf(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The exports run without a window on the platform that needs no display;
// --help and a wrong command line need only the program's name.
int runCommand(const CommandLine& command, int argc, char* argv[])
{
    if (command.mode() == CommandLine::Mode::Help || command.mode() == CommandLine::Mode::Invalid) {
        const QCoreApplication application(argc, argv);
        if (command.mode() == CommandLine::Mode::Help) {
            std::fputs(command.helpText().toLocal8Bit().constData(), stdout);
            return BatchExport::kExitDone;
        }
        std::fprintf(stderr, "tarvola: %s (see --help)\n", command.error().toLocal8Bit().constData());
        return BatchExport::kExitFailed;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication application(argc, argv);
    BatchExport batch(EngineLibrary::bind());
    const BatchExport::Kind kind = command.mode() == CommandLine::Mode::ExportVideo
        ? BatchExport::Kind::Video
        : command.mode() == CommandLine::Mode::ExportTracks ? BatchExport::Kind::Tracks
                                                            : BatchExport::Kind::Csv;
    return batch.run(kind, command.output(), command.video());
}

} // namespace

int main(int argc, char* argv[])
{
    const CommandLine command(argumentsOf(argc, argv));
    if (command.mode() != CommandLine::Mode::Window)
        return runCommand(command, argc, argv);

    VistrelInterface* engine = EngineLibrary::bind();

    QApplication application(argc, argv);
    const bool useOpenGL = OpenGLProbe::available();
    if (!useOpenGL)
        warnNoOpenGL();

    auto splash = std::make_unique<QSplashScreen>(QPixmap());
    splash->setPixmap(QPixmap(QStringLiteral(":/images/SplashScreen.png")));
    splash->show();
    showSplashMessage(*splash, QCoreApplication::translate("main", "Tarvola"));

    // A null engine ends the process inside the constructor, exit code -1.
    auto window = std::make_unique<MainWindow>(useOpenGL, engine);
    showSplashMessage(*splash, QCoreApplication::translate("main", "Starting"));
    std::this_thread::sleep_for(kSplashPause);

    window->show();
    splash->finish(window.get());
    splash.reset();
    if (argc > 1)
        openLater(*window, argv[1]);

    // Events reach the window before the loop runs (the splash screen waits
    // for it to be shown): a window closed then has already asked to quit,
    // and a loop started now would run on with no window to end it.
    const int status = window->isVisible() ? QApplication::exec() : 0;
    // Stops a playback that still runs and joins the worker thread while the
    // application still exists. The engine object lives to the process's end.
    window.reset();
    return status;
}
