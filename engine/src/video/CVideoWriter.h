#pragma once

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <filesystem>
#include <memory>

// Encodes R, G, B pictures into a video file through OpenCV's FFmpeg
// writer. The frames go into a hidden file beside the target (same
// extension, so FFmpeg picks the same container) that becomes the target
// only on finish(): a writer dropped without finishing removes it, so no
// half-written video ever carries the target's name.
class CVideoWriter
{
public:
    enum class Codec { H264 = 1, Mjpeg = 2 };

    static constexpr int kMaxSidePx = 16384;

    // The best codec that encodes on this machine, probed once per process;
    // empty when neither does.
    static const Codec* bestCodec();

    // Null when the arguments are out of range or the encoder cannot be
    // opened for the target's folder.
    static std::unique_ptr<CVideoWriter> open(
        const std::filesystem::path& target, cv::Size size, double fps, Codec codec);

    virtual ~CVideoWriter();
    CVideoWriter(const CVideoWriter&) = delete;
    CVideoWriter& operator=(const CVideoWriter&) = delete;

    // One picture of the writer's size, R, G, B rows `stride` bytes apart.
    bool write(const unsigned char* rgb, long long stride);
    // Closes the file and moves it onto the target; false (and nothing left
    // behind) when that fails or a write had failed.
    bool finish();
    // Closes and removes what was written.
    void discard();

private:
    CVideoWriter(std::filesystem::path target, std::filesystem::path partial, cv::Size size);
    static bool encodes(Codec codec);

    std::filesystem::path target;
    std::filesystem::path partial;
    cv::Size size;
    cv::VideoWriter writer;
    cv::Mat bgr;
    bool failed = false;
    bool closed = false;
};
