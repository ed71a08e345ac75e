#include "cli/CommandLine.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("CommandLine", text); }

} // namespace

CommandLine::CommandLine(const QStringList& arguments)
{
    parser.setApplicationDescription(tr("Measures distances on a pitch in video recordings. "
                                        "With an export option it runs without a window, "
                                        "using the calibration saved beside VIDEO."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption exportVideo(QStringLiteral("export-video"),
        tr("Write VIDEO with the pitch overlay and the measurements burnt in to OUT "
           "(H.264 .mp4, or Motion JPEG .avi where H.264 is not available)."),
        tr("OUT"));
    const QCommandLineOption exportCsv(QStringLiteral("export-csv"),
        tr("Write the measurements saved for VIDEO to OUT as CSV."), tr("OUT"));
    const QCommandLineOption exportTracks(QStringLiteral("export-tracks"),
        tr("Track the players of VIDEO into OUT: a CSV of their positions on the pitch in "
           "metres, speeds and teams, frame by frame, with OUT.json beside it."),
        tr("OUT"));
    parser.addOption(exportVideo);
    parser.addOption(exportCsv);
    parser.addOption(exportTracks);
    parser.addPositionalArgument(tr("VIDEO"), tr("The video to open or to export."));

    if (!asksForCommand(arguments))
        return;
    if (!parser.parse(arguments)) {
        chosen = Mode::Invalid;
        problem = parser.errorText();
        return;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        chosen = Mode::Help;
        return;
    }
    const QStringList positional = parser.positionalArguments();
    videoPath = positional.value(0);
    const std::pair<Mode, const QCommandLineOption*> exports[] { { Mode::ExportVideo, &exportVideo },
        { Mode::ExportCsv, &exportCsv }, { Mode::ExportTracks, &exportTracks } };
    int given = 0;
    for (const auto& [mode, option] : exports)
        if (parser.isSet(*option)) {
            ++given;
            chosen = mode;
            outputPath = parser.value(*option);
        }
    if (given > 1)
        problem = tr("give one of --export-video, --export-csv and --export-tracks");
    else if (given == 0)
        problem = tr("no export given");
    else if (positional.size() != 1)
        problem = tr("an export needs exactly one VIDEO");
    if (!problem.isEmpty())
        chosen = Mode::Invalid;
}

// Any other argument list is the window's: Qt's own options and the video
// to open, which the application object sorts out. Every other option is
// the command line's, so that an unknown one is reported as such instead of
// starting a window (which, without a display, cannot even start).
bool CommandLine::asksForCommand(const QStringList& arguments)
{
    // Qt's platform and X11 options (either dash form), after which a
    // window may still start.
    static const QStringList qtOptions { QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"), QStringLiteral("qmljsdebugger"), QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"), QStringLiteral("qwindowtitle"), QStringLiteral("reverse"),
        QStringLiteral("session"), QStringLiteral("display"), QStringLiteral("geometry"),
        QStringLiteral("style"), QStringLiteral("stylesheet"), QStringLiteral("widgetcount"),
        QStringLiteral("title"), QStringLiteral("icon"), QStringLiteral("name"),
        QStringLiteral("nograb"), QStringLiteral("dograb"), QStringLiteral("visual"),
        QStringLiteral("ncols"), QStringLiteral("cmap"), QStringLiteral("sync") };
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            return false;
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-"))
            continue;
        QString name = argument.section(QLatin1Char('='), 0, 0).mid(1);
        if (name.startsWith(QLatin1Char('-')))
            name = name.mid(1);
        if (!qtOptions.contains(name))
            return true;
    }
    return false;
}
