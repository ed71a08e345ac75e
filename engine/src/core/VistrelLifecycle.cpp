#include "core/Vistrel.h"

#include <algorithm>
#include <exception>

namespace {

constexpr const char* kLogFileName = "debug.log";
constexpr int kExportWidthPx = 320;
constexpr int kExportHeightPx = 240;
constexpr int kBinaryWindowSize = 3;

#if defined(__SANITIZE_THREAD__)
// In a ThreadSanitizer build OpenCV runs its loops on the calling thread: its
// worker pool (TBB) hands buffers back to the caller through synchronisation
// TSan cannot see, and every buffer allocated on a worker and freed by the
// caller would be reported as a race. Set as the library loads.
const bool kOpenCvSerial = (cv::setNumThreads(0), true);
#endif

// A 3 x 3 binary window from its cells row by row (0 or 255).
CBinaryWindow makeWindow(const int (&cells)[kBinaryWindowSize][kBinaryWindowSize])
{
    CBinaryWindow window(kBinaryWindowSize);
    for (int row = 0; row < kBinaryWindowSize; ++row) {
        for (int column = 0; column < kBinaryWindowSize; ++column)
            window.cell(row, column) = cells[row][column];
    }
    return window;
}

// Runs a call into the pitch model; a failure inside it must not cross the
// library boundary.
template <typename Call> auto guarded(Call call, decltype(call()) fallback) -> decltype(call())
{
    try {
        return call();
    } catch (const std::exception&) {
        return fallback;
    }
}

template <typename Call> void guarded(Call call)
{
    try {
        call();
    } catch (const std::exception&) { }
}

} // namespace

Vistrel::Vistrel()
    : logger(std::make_shared<CLogger>(kLogFileName))
{
    logger->setEnabled(false);
    exportBuffer.reset();
    colourSegmentation.AddWindow(makeWindow({ { 0, 255, 0 }, { 255, 255, 255 }, { 0, 255, 0 } }));
    colourSegmentation.AddWindow(makeWindow({ { 255, 0, 255 }, { 0, 255, 0 }, { 255, 0, 255 } }));
    // Black rather than undefined: hosts may show it before any video.
    exportImage = cv::Mat(kExportHeightPx, kExportWidthPx, CV_8UC3, cv::Scalar::all(0));
    InitMutex();
}

Vistrel::~Vistrel()
{
    trace("~Vistrel", "entered");
    capture.reset();
    trace("~Vistrel", "left");
    logger->close();
    logger.reset();
    pthread_mutex_destroy(&mutex);
}

// The pitch model is read and changed under the mutex, since the playback
// loop draws with it on the worker thread.

float Vistrel::getFieldWidth()
{
    MutexHold hold(*this);
    return field.getWidth();
}

void Vistrel::setFieldWidth(float value)
{
    MutexHold hold(*this);
    notePictureChange();
    field.setWidth(value);
}

float Vistrel::getFieldLength()
{
    MutexHold hold(*this);
    return field.getLength();
}

void Vistrel::setFieldLength(float value)
{
    MutexHold hold(*this);
    notePictureChange();
    field.setLength(value);
}

float Vistrel::getCentreCircleRadius()
{
    MutexHold hold(*this);
    return field.getRadius();
}

void Vistrel::setCentreCircleRadius(float value)
{
    MutexHold hold(*this);
    notePictureChange();
    field.setRadius(value);
}

int Vistrel::getTopPointsLeft()
{
    MutexHold hold(*this);
    return field.getTopPointsLeft();
}

void Vistrel::setTopPointsLeft(int value)
{
    MutexHold hold(*this);
    notePictureChange();
    field.setTopPointsLeft(value);
}

int Vistrel::getBottomPointsLeft()
{
    MutexHold hold(*this);
    return field.getBottomPointsLeft();
}

void Vistrel::setBottomPointsLeft(int value)
{
    MutexHold hold(*this);
    notePictureChange();
    field.setBottomPointsLeft(value);
}

int Vistrel::addFieldPoint(int which, int x, int y)
{
    MutexHold hold(*this);
    notePictureChange();
    return guarded([&] { return field.AddPoint(which, x, y); }, -1);
}

int Vistrel::setGameCentre(int x, int y)
{
    MutexHold hold(*this);
    notePictureChange();
    return guarded([&] { return field.SetGameCentre(x, y); }, -1);
}

void Vistrel::clearFieldPoints()
{
    MutexHold hold(*this);
    notePictureChange();
    guarded([&] { field.ClearPoints(); });
}

void Vistrel::setDrawFieldLines(bool value)
{
    MutexHold hold(*this);
    notePictureChange();
    field.SetDrawLines(value);
}

std::optional<CPitchGeometry> Vistrel::pitchGeometry()
{
    std::optional<std::array<cv::Point2d, 4>> ideal;
    CLensModel lens;
    double width = 0.0;
    double length = 0.0;
    {
        MutexHold hold(*this);
        ideal = field.getIdealCorners();
        lens = field.getLens();
        width = field.getWidth();
        length = field.getLength();
    }
    if (!ideal)
        return std::nullopt;
    return CPitchGeometry::fromCorners(*ideal, width, length, lens);
}

std::string Vistrel::openVideoPath()
{
    MutexHold hold(*this);
    return capture ? videoPath : std::string();
}

bool Vistrel::setClickSigma(double sigmaPx)
{
    if (!CPitchGeometry::isValidClickSigma(sigmaPx))
        return false;
    clickSigmaPx = sigmaPx;
    return true;
}
