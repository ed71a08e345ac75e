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
    parser.addOption(exportVideo);
    parser.addOption(exportCsv);
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
    const bool toVideo = parser.isSet(exportVideo);
    if (toVideo && parser.isSet(exportCsv))
        problem = tr("give either --export-video or --export-csv, not both");
    else if (positional.size() != 1)
        problem = tr("an export needs exactly one VIDEO");
    if (!problem.isEmpty()) {
        chosen = Mode::Invalid;
        return;
    }
    chosen = toVideo ? Mode::ExportVideo : Mode::ExportCsv;
    outputPath = parser.value(toVideo ? exportVideo : exportCsv);
}

// Any other argument list is the window's: Qt's own options and the video
// to open, which the application object sorts out.
bool CommandLine::asksForCommand(const QStringList& arguments)
{
    static const QStringList commands { QStringLiteral("-h"), QStringLiteral("--help"),
        QStringLiteral("--help-all"), QStringLiteral("--export-video"),
        QStringLiteral("--export-csv") };
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            return false;
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        if (commands.contains(name))
            return true;
    }
    return false;
}
