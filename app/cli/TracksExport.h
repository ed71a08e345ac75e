#pragma once

#include <QString>

#include <cstdio>

class VistrelInterface;

// The command line's tracks export: the players of the engine's open,
// calibrated video into OUT (the tracks CSV) and OUT.json, through the
// engine's VistrelTrackVideo. Progress goes to `messages` as "NN%" lines.
class TracksExport
{
public:
    TracksExport(VistrelInterface* engine, std::FILE* messages);

    // Empty on success, otherwise what went wrong, for one line.
    QString run(const QString& out);

private:
    static int progress(void* self, long long done, long long total);

    VistrelInterface* engine;
    std::FILE* messages;
    int shownPercent = -1;
};
