#pragma once

// Runs the real program (TARVOLA_PROGRAM) as a command-line user would,
// without any display, with its own data folder inside `dir`.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

struct ProgramRun
{
    int exitCode = -1; // -1 also when it crashed or ran over two minutes
    QStringList errorLines;
};

inline ProgramRun runProgram(const QTemporaryDir& dir, const QStringList& arguments)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(TARVOLA_PROGRAM), arguments);
    if (!program.waitForFinished(120000) || program.exitStatus() != QProcess::NormalExit)
        return {};
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    return { program.exitCode(), errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts) };
}
