#include "Vistrel.h"

#include <opencv2/imgproc.hpp>

#include <cstring>

// Placeholder until the playback loop lands: no loop, but the frame hand-off
// and the line lists work.
int Vistrel::Play() { return -1; }

void Vistrel::ThPause() { Pause(); }

void Vistrel::ThStop() { stopped = true; }

void Vistrel::StopPlayback() { stopped = true; }

bool Vistrel::hasFrame()
{
    MutexHold hold(*this);
    return !exportImage.empty() || paused;
}

std::shared_ptr<unsigned char[]> Vistrel::exportFrame()
{
    MutexHold hold(*this);
    const cv::Mat packed = exportImage.isContinuous() ? exportImage : exportImage.clone();
    exportBuffer = std::make_shared<unsigned char[]>(packed.total() * packed.elemSize());
    std::memcpy(exportBuffer.get(), packed.data, packed.total() * packed.elemSize());
    return exportBuffer;
}

std::vector<FieldLine> Vistrel::getFieldLines()
{
    MutexHold hold(*this);
    return field.GetFieldLines();
}

std::vector<FieldLine> Vistrel::getCentreLines()
{
    MutexHold hold(*this);
    return field.GetCentreLines();
}
