// The tracking functions of VistrelTracking.h, looked up with dlsym in
// libVistrel.so, as a host or a script does.

#include "ForeignEngine.h"
#include "PlaybackTestSupport.h"
#include "VistrelTracking.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

using namespace playbacktest;
namespace fs = std::filesystem;

namespace {

const auto trackVideo = librarySymbol<decltype(VistrelTrackVideo)>("VistrelTrackVideo");
const auto apiVersion = librarySymbol<decltype(VistrelTrackingApiVersion)>("VistrelTrackingApiVersion");

testclips::ClipSettings smallMatch()
{
    testclips::ClipSettings plan;
    plan.width = 960;
    plan.height = 540;
    plan.frames = 40;
    plan.players = 0;
    plan.match = true;
    plan.tilt = 0.4;
    return plan;
}

std::vector<std::string> lines(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

struct Progress
{
    std::vector<long long> done;
    long long total = -1;
    long long cancelAt = -1;
};

int record(void* user, long long done, long long total)
{
    auto* p = static_cast<Progress*>(user);
    p->done.push_back(done);
    p->total = total;
    return done == p->cancelAt ? 1 : 0;
}

class TrackingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(trackVideo && apiVersion) << "libVistrel.so exports the tracking functions";
        ASSERT_NE(engine, nullptr);
    }

    fs::path out(const std::string& name) const { return enginetest::scratchDir() / "tracks" / name; }

    VistrelInterface* const engine = newEngine();
};

TEST_F(TrackingTest, RefusesWithoutEngineVideoOrCalibration)
{
    fs::create_directories(out(""));
    ForeignEngine foreign;
    const std::string csv = out("refused.csv").string();
    EXPECT_EQ(trackVideo(nullptr, csv.c_str(), nullptr, nullptr), VISTREL_TRACK_NOT_READY);
    EXPECT_EQ(trackVideo(&foreign, csv.c_str(), nullptr, nullptr), VISTREL_TRACK_NOT_READY);
    EXPECT_EQ(trackVideo(engine, csv.c_str(), nullptr, nullptr), VISTREL_TRACK_NOT_READY);
    ASSERT_EQ(engine->LoadVideo(losslessClip(smallMatch(), "track-small")), 0);
    EXPECT_EQ(trackVideo(engine, csv.c_str(), nullptr, nullptr), VISTREL_TRACK_NOT_READY);
    calibrate(*engine, smallMatch());
    EXPECT_EQ(trackVideo(engine, nullptr, nullptr, nullptr), VISTREL_TRACK_NOT_READY);
    EXPECT_FALSE(fs::exists(csv));
    EXPECT_EQ(apiVersion(), VISTREL_TRACKING_API_VERSION);
}

// The whole video, with progress for each frame; the CSV starts with the
// documented header and its frames run in order; the sidecar lies beside it.
TEST_F(TrackingTest, TracksTheOpenVideoIntoCsvAndSidecar)
{
    const testclips::ClipSettings plan = smallMatch();
    ASSERT_EQ(engine->LoadVideo(losslessClip(plan, "track-small")), 0);
    calibrate(*engine, plan);
    fs::create_directories(out(""));
    const fs::path csv = out("small.csv");
    Progress progress;
    ASSERT_EQ(trackVideo(engine, csv.string().c_str(), record, &progress), VISTREL_TRACK_DONE);
    ASSERT_EQ(progress.done.size(), std::size_t(plan.frames));
    EXPECT_EQ(progress.done.back(), plan.frames);
    EXPECT_EQ(progress.total, plan.frames);
    const std::vector<std::string> rows = lines(csv);
    ASSERT_GT(rows.size(), 1u);
    EXPECT_EQ(rows[0], "frame,time_s,track_id,team,x_m,y_m,speed_m_s,state");
    int lastFrame = -1;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const int frame = std::stoi(rows[i]);
        EXPECT_GE(frame, lastFrame);
        EXPECT_LT(frame, plan.frames);
        lastFrame = frame;
    }
    const std::vector<std::string> json = lines(fs::path(csv.string() + ".json"));
    std::ostringstream all;
    for (const std::string& l : json)
        all << l << '\n';
    EXPECT_NE(all.str().find("\"frames\": 40"), std::string::npos) << all.str();
    EXPECT_FALSE(fs::exists(csv.string() + ".part"));
}

// Cancelling, an output folder that does not exist and a video that went
// away each fail without leaving a file.
TEST_F(TrackingTest, FailuresLeaveNoFiles)
{
    const testclips::ClipSettings plan = smallMatch();
    const fs::path copy = out("gone.mkv");
    fs::create_directories(out(""));
    fs::copy_file(losslessClip(plan, "track-small"), copy, fs::copy_options::overwrite_existing);
    ASSERT_EQ(engine->LoadVideo(copy.string()), 0);
    calibrate(*engine, plan);

    const fs::path cancelled = out("cancelled.csv");
    Progress progress;
    progress.cancelAt = 10;
    EXPECT_EQ(trackVideo(engine, cancelled.string().c_str(), record, &progress),
        VISTREL_TRACK_CANCELLED);
    EXPECT_EQ(progress.done.back(), 10);
    const fs::path nowhere = out("no-such-folder") / "t.csv";
    EXPECT_EQ(trackVideo(engine, nowhere.string().c_str(), nullptr, nullptr), VISTREL_TRACK_UNWRITABLE);
    fs::remove(copy);
    const fs::path unread = out("unread.csv");
    EXPECT_EQ(trackVideo(engine, unread.string().c_str(), nullptr, nullptr), VISTREL_TRACK_UNREADABLE);
    for (const fs::path& p : { cancelled, nowhere, unread })
        for (const char* suffix : { "", ".part", ".json", ".json.part" })
            EXPECT_FALSE(fs::exists(p.string() + suffix)) << p << suffix;
}

} // namespace
