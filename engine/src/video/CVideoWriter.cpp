#include "video/CVideoWriter.h"

#include <opencv2/imgproc.hpp>

#include <cerrno>
#include <cmath>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <unistd.h>

namespace {

// A probe encodes a couple of frames this small into the temporary folder.
constexpr int kProbeSidePx = 64;
constexpr int kProbeFrames = 2;
constexpr double kProbeFps = 25.0;
constexpr int kReserveAttempts = 16;
constexpr mode_t kNewFileMode = 0666;

int fourccOf(CVideoWriter::Codec codec)
{
    return codec == CVideoWriter::Codec::H264 ? cv::VideoWriter::fourcc('a', 'v', 'c', '1')
                                              : cv::VideoWriter::fourcc('M', 'J', 'P', 'G');
}

const char* extensionOf(CVideoWriter::Codec codec)
{
    return codec == CVideoWriter::Codec::H264 ? ".mp4" : ".avi";
}

// Creates an empty file with a unique hidden name beside the target that
// ends in the target's extension; empty when the folder cannot be written.
// Created like any new file (mode 0666 less the umask), since it becomes
// the target as it is.
std::optional<std::filesystem::path> reservePartial(const std::filesystem::path& target)
{
    const std::filesystem::path folder
        = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::random_device seed;
    std::mt19937 draw(seed());
    for (int attempt = 0; attempt < kReserveAttempts; ++attempt) {
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict)
        // on a string prepended to a temporary.
        std::string name = ".";
        name += target.stem().string();
        name += ".partial-";
        name += std::to_string(draw());
        name += target.extension().string();
        const std::filesystem::path partial = folder / name;
        const int fd
            = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (fd >= 0) {
            ::close(fd);
            return partial;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

CVideoWriter::CVideoWriter(
    std::filesystem::path target, std::filesystem::path partial, cv::Size size)
    : target(std::move(target))
    , partial(std::move(partial))
    , size(size)
{ }

CVideoWriter::~CVideoWriter() { discard(); }

bool CVideoWriter::encodes(Codec codec)
{
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ignored);
    const auto probe
        = std::string("vistrel-probe-") + std::to_string(getpid()) + extensionOf(codec);
    const cv::Size side(kProbeSidePx, kProbeSidePx);
    std::unique_ptr<CVideoWriter> writer = open(folder / probe, side, kProbeFps, codec);
    if (!writer)
        return false;
    const cv::Mat grey(side, CV_8UC3, cv::Scalar::all(128));
    for (int i = 0; i < kProbeFrames; ++i)
        writer->write(grey.data, static_cast<long long>(grey.step));
    const bool written = writer->writer.isOpened() && !writer->failed;
    writer->discard();
    return written;
}

const CVideoWriter::Codec* CVideoWriter::bestCodec()
{
    static const std::optional<Codec> best = []() -> std::optional<Codec> {
        for (Codec codec : { Codec::H264, Codec::Mjpeg }) {
            if (encodes(codec))
                return codec;
        }
        return std::nullopt;
    }();
    return best ? &*best : nullptr;
}

std::unique_ptr<CVideoWriter> CVideoWriter::open(
    const std::filesystem::path& target, cv::Size size, double fps, Codec codec)
{
    if (size.width < 1 || size.height < 1 || size.width > kMaxSidePx || size.height > kMaxSidePx
        || !std::isfinite(fps) || fps <= 0.0 || target.filename().empty())
        return nullptr;
    if (codec != Codec::H264 && codec != Codec::Mjpeg)
        return nullptr;
    const std::optional<std::filesystem::path> partial = reservePartial(target);
    if (!partial)
        return nullptr;
    std::unique_ptr<CVideoWriter> writer(new CVideoWriter(target, *partial, size));
    writer->writer.open(partial->string(), cv::CAP_FFMPEG, fourccOf(codec), fps, size, true);
    if (!writer->writer.isOpened())
        return nullptr; // the destructor removes the reserved name
    return writer;
}

bool CVideoWriter::write(const unsigned char* rgb, long long stride)
{
    if (failed || closed || !rgb || stride < 3LL * size.width)
        return false;
    try {
        const cv::Mat picture(size, CV_8UC3, const_cast<unsigned char*>(rgb), std::size_t(stride));
        cv::cvtColor(picture, bgr, cv::COLOR_RGB2BGR);
        writer.write(bgr);
        return true;
    } catch (const std::exception&) {
        failed = true;
        return false;
    }
}

bool CVideoWriter::finish()
{
    if (closed)
        return false;
    closed = true;
    std::error_code error;
    try {
        writer.release();
    } catch (const std::exception&) {
        failed = true;
    }
    if (!failed && std::filesystem::file_size(partial, error) > 0 && !error) {
        std::filesystem::rename(partial, target, error);
        if (!error)
            return true;
    }
    std::filesystem::remove(partial, error);
    return false;
}

void CVideoWriter::discard()
{
    if (closed)
        return;
    closed = true;
    try {
        writer.release();
    } catch (const std::exception&) { }
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
}
