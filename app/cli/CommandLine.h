#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// The program's arguments: an export run without a window (--export-video
// OUT VIDEO, --export-csv OUT VIDEO, --export-tracks OUT VIDEO), the usage
// (--help), a wrong command line (an unknown option, a missing argument),
// or else the window's arguments (Qt's own options and a video), left to
// the application object and main().
// Parsed before any application object exists, because the export runs
// under a window-less platform that must be chosen before that.
class CommandLine
{
public:
    enum class Mode { Window, ExportVideo, ExportCsv, ExportTracks, Help, Invalid };

    explicit CommandLine(const QStringList& arguments);

    Mode mode() const { return chosen; }
    // The video to export.
    QString video() const { return videoPath; }
    QString output() const { return outputPath; }
    // What is wrong with the arguments (Mode::Invalid).
    QString error() const { return problem; }
    // The usage text; needs an application object for the program's name.
    QString helpText() const { return parser.helpText(); }

private:
    static bool asksForCommand(const QStringList& arguments);

    QCommandLineParser parser;
    Mode chosen = Mode::Window;
    QString videoPath;
    QString outputPath;
    QString problem;
};
