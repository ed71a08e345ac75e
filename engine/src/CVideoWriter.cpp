#include "CVideoWriter.h"

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// A probe encodes a couple of frames this small into the temporary folder.
constexpr int kProbeSidePx = 64;
constexpr int kProbeFrames = 2;
constexpr double kProbeFps = 25.0;

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
std::optional<std::filesystem::path> reservePartial(const std::filesystem::path& target)
{
    const std::filesystem::path folder
        = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    const std::string extension = target.extension().string();
    std::string name = (folder / ("." + target.stem().string() + ".partial-XXXXXX")).string();
    name += extension;
    std::vector<char> pattern(name.begin(), name.end());
    pattern.push_back('\0');
    const int fd = mkstemps(pattern.data(), int(extension.size()));
    if (fd < 0)
        return std::nullopt;
    close(fd);
    return std::filesystem::path(pattern.data());
}

} // namespace

CVideoWriter::CVideoWriter(std::filesystem::path target, std::filesystem::path partial, cv::Size size)
    : target(std::move(target))
    , partial(std::move(partial))
    , size(size)
{
}

CVideoWriter::~CVideoWriter() { discard(); }

bool CVideoWriter::encodes(Codec codec)
{
    std::error_code ignored;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ignored);
    const auto probe = std::string("vistrel-probe-") + std::to_string(getpid()) + extensionOf(codec);
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
    } catch (const std::exception&) {
    }
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
}
