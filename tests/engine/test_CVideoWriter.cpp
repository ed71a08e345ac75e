#include "video/CVideoWriter.h"

#include <gtest/gtest.h>
#include <opencv2/videoio.hpp>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr int kFrames = 5;
const cv::Size kSize(96, 64);

struct Folder
{
    fs::path path = fs::temp_directory_path() / ("cvideowriter-" + std::to_string(::getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
    int entries() const { return int(std::distance(fs::directory_iterator(path), {})); }
};

int framesIn(const fs::path& file)
{
    cv::VideoCapture capture(file.string(), cv::CAP_FFMPEG);
    cv::Mat frame;
    int count = 0;
    while (capture.read(frame)) {
        EXPECT_EQ(frame.size(), kSize);
        ++count;
    }
    return count;
}

// Fills the writer with kFrames pictures of a gradient.
void fill(CVideoWriter& writer)
{
    cv::Mat rgb(kSize, CV_8UC3);
    for (int i = 0; i < kFrames; ++i) {
        rgb.setTo(cv::Scalar(40 * i, 100, 200));
        ASSERT_TRUE(writer.write(rgb.data, static_cast<long long>(rgb.step)));
    }
}

} // namespace

TEST(CVideoWriter, FinishedFileHasEveryFrameAndOnlyThenTheTargetName)
{
    const CVideoWriter::Codec* best = CVideoWriter::bestCodec();
    ASSERT_NE(best, nullptr) << "neither H.264 nor Motion JPEG encodes here";
    for (CVideoWriter::Codec codec : { *best, CVideoWriter::Codec::Mjpeg }) {
        Folder folder;
        const fs::path target
            = folder.path / (codec == CVideoWriter::Codec::H264 ? "out.mp4" : "out.avi");
        auto writer = CVideoWriter::open(target, kSize, 25.0, codec);
        ASSERT_TRUE(writer);
        fill(*writer);
        EXPECT_FALSE(fs::exists(target)) << "the target name appears only when finished";
        EXPECT_FALSE(writer->write(nullptr, 3 * kSize.width));
        ASSERT_TRUE(writer->finish());
        EXPECT_EQ(framesIn(target), kFrames);
        EXPECT_EQ(folder.entries(), 1) << "the partial file was moved, not copied";
    }
}

TEST(CVideoWriter, DiscardedOrUnopenableWriterLeavesNoFile)
{
    Folder folder;
    const fs::path target = folder.path / "out.avi";
    auto writer = CVideoWriter::open(target, kSize, 25.0, CVideoWriter::Codec::Mjpeg);
    ASSERT_TRUE(writer);
    fill(*writer);
    writer.reset();
    EXPECT_EQ(folder.entries(), 0);

    std::ofstream(folder.path / "file").put('x');
    EXPECT_FALSE(CVideoWriter::open(
        folder.path / "file" / "out.avi", kSize, 25.0, CVideoWriter::Codec::Mjpeg));
    EXPECT_FALSE(CVideoWriter::open(target, kSize, 0.0, CVideoWriter::Codec::Mjpeg));
    EXPECT_FALSE(CVideoWriter::open(target, cv::Size(0, 64), 25.0, CVideoWriter::Codec::Mjpeg));
    EXPECT_EQ(folder.entries(), 1);
}
