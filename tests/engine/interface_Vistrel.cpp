#include "EngineTestSupport.h"
#include "VistrelInterface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <functional>

// Drives libVistrel.so exactly as a host does: dlopen, the exported factory,
// and nothing but the virtual operations of VistrelInterface.

using namespace enginetest;
using testclips::ClipSettings;

namespace {

using Factory = VistrelInterface* (*)();

// The library stays loaded for the whole test program, as in the host; the
// engines it makes are never destroyed, since the interface has no way to.
Factory factory()
{
    static const Factory found = [] {
        void* library = dlopen(VISTREL_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return Factory(nullptr);
        return reinterpret_cast<Factory>(dlsym(library, "GetVistrelInterface"));
    }();
    return found;
}

VistrelInterface* newEngine()
{
    // Kept reachable until the process ends, like the host's one engine, so
    // that the leak checker does not count them.
    static auto* const engines = new std::vector<VistrelInterface*>;
    const Factory make = factory();
    VistrelInterface* engine = make ? make() : nullptr;
    engines->push_back(engine);
    return engine;
}

// The vtable slot a pointer to a virtual member function calls through (the
// Itanium C++ ABI stores 1 + the byte offset in the vtable).
template <typename Member> long slotOf(Member member)
{
    static_assert(sizeof(Member) == 2 * sizeof(std::uintptr_t));
    std::uintptr_t words[2];
    std::memcpy(words, &member, sizeof words);
    return static_cast<long>((words[0] - 1) / sizeof(void*));
}

using I = VistrelInterface;

struct BoolPair
{
    const char* name;
    bool (I::*get)();
    void (I::*set)(bool);
    bool initial;
    long getterSlot;
};

// The seventeen flag pairs in slot order, with their values after construction.
const BoolPair kBoolPairs[] = {
    { "stopped", &I::isStopped, &I::setStopped, true, 14 },
    { "paused", &I::isPaused, &I::setPaused, false, 16 },
    { "jumpForward", &I::isJumpForwardPending, &I::setJumpForward, false, 18 },
    { "jumpBack", &I::isJumpBackPending, &I::setJumpBack, false, 20 },
    { "playFinished", &I::isPlayFinished, &I::setPlayFinished, false, 22 },
    { "processing", &I::isProcessingEnabled, &I::setProcessingEnabled, false, 24 },
    { "filter", &I::isFilterEnabled, &I::setFilterEnabled, false, 26 },
    { "colourClassification", &I::isColourClassificationEnabled, &I::setColourClassificationEnabled,
        false, 28 },
    { "colourSegmentation", &I::isColourSegmentationEnabled, &I::setColourSegmentationEnabled,
        false, 30 },
    { "showClassifiedColours", &I::isShowClassifiedColoursEnabled,
        &I::setShowClassifiedColoursEnabled, false, 32 },
    { "probabilityThreshold", &I::isProbabilityThresholdEnabled, &I::setProbabilityThresholdEnabled,
        false, 34 },
    { "motionAnalysis", &I::isMotionAnalysisEnabled, &I::setMotionAnalysisEnabled, false, 36 },
    { "motionDifference", &I::isMotionDifferenceSelected, &I::setMotionDifferenceSelected, false,
        38 },
    { "spareFlag", &I::isSpareFlagEnabled, &I::setSpareFlagEnabled, false, 40 },
    { "colourThreshold", &I::isColourThresholdEnabled, &I::setColourThresholdEnabled, false, 42 },
    { "showColourMask", &I::isShowColourMaskEnabled, &I::setShowColourMaskEnabled, false, 44 },
    { "blobDetection", &I::isBlobDetectionEnabled, &I::setBlobDetectionEnabled, false, 46 },
};

// A numeric getter/setter pair: its value after construction, a value to set,
// and its getter's slot.
struct NumberPair
{
    const char* name;
    std::function<double(I&)> get;
    std::function<void(I&, double)> set;
    double initial;
    double probe;
    long getterSlot;
    long setterSlot;
};

template <typename T>
NumberPair numberPair(
    const char* name, T (I::*get)(), void (I::*set)(T), double initial, double probe)
{
    return { name, [get](I& e) { return static_cast<double>((e.*get)()); },
        [set](I& e, double v) { (e.*set)(static_cast<T>(v)); }, initial, probe, slotOf(get),
        slotOf(set) };
}

const std::vector<NumberPair>& numberPairs()
{
    static const std::vector<NumberPair> pairs = {
        numberPair("fieldWidth", &I::getFieldWidth, &I::setFieldWidth, 27.0, 68.0),
        numberPair("fieldLength", &I::getFieldLength, &I::setFieldLength, 36.0, 105.0),
        numberPair(
            "radius", &I::getCentreCircleRadius, &I::setCentreCircleRadius, 1.0f / 36.0f, 9.5),
        numberPair("topPointsLeft", &I::getTopPointsLeft, &I::setTopPointsLeft, 2, 7),
        numberPair("bottomPointsLeft", &I::getBottomPointsLeft, &I::setBottomPointsLeft, 2, 9),
        numberPair("jumpStep", &I::getJumpStep, &I::setJumpStep, 100, 250),
        numberPair("playbackRate", &I::getPlaybackRate, &I::setPlaybackRate, 25.0, 12.5),
        numberPair("delayFactor", &I::getDelayFactor, &I::setDelayFactor, 0.8f, 0.25),
        numberPair("colourThreshold", &I::getColourThreshold, &I::setColourThreshold, 0, 11),
        numberPair("blobMaxEmpty", &I::getBlobMaxEmptyPercent, &I::setBlobMaxEmptyPercent, 0, 13.5),
        numberPair("blobWindowWidth", &I::getBlobWindowWidth, &I::setBlobWindowWidth, 0, 15),
        numberPair("blobWindowHeight", &I::getBlobWindowHeight, &I::setBlobWindowHeight, 0, 17),
        numberPair("blobMinFill", &I::getBlobMinFillPercent, &I::setBlobMinFillPercent, 0, 19.5),
    };
    return pairs;
}

bool allZero(const std::shared_ptr<unsigned char[]>& buffer, std::size_t bytes)
{
    return buffer
        && std::all_of(buffer.get(), buffer.get() + bytes, [](unsigned char b) { return b == 0; });
}

class EngineInterface : public testing::Test
{
protected:
    void SetUp() override
    {
        engine = newEngine();
        ASSERT_NE(engine, nullptr) << "cannot load " << VISTREL_LIBRARY_PATH << ": " << dlerror();
    }
    VistrelInterface* engine = nullptr;
};

} // namespace

TEST(EngineInterfaceLayout, SlotsAreInTheBindingOrder)
{
    const struct
    {
        long actual;
        long expected;
    } rows[] = {
        { slotOf(&I::LoadVideo), 0 },
        { slotOf(&I::Play), 1 },
        { slotOf(&I::ThPause), 2 },
        { slotOf(&I::ThStop), 3 },
        { slotOf(&I::Pause), 4 },
        { slotOf(&I::Stop), 5 },
        { slotOf(&I::StopPlayback), 6 },
        { slotOf(&I::hasFrame), 7 },
        { slotOf(&I::getFrameWidth), 8 },
        { slotOf(&I::getFrameHeight), 9 },
        { slotOf(&I::exportFrame), 10 },
        { slotOf(&I::getFrameCount), 11 },
        { slotOf(&I::getFps), 12 },
        { slotOf(&I::getFramePosition), 13 },
        { slotOf(&I::addFieldPoint), 58 },
        { slotOf(&I::setGameCentre), 59 },
        { slotOf(&I::pickColour), 60 },
        { slotOf(&I::clearFieldPoints), 61 },
        { slotOf(&I::getPosition), 62 },
        { slotOf(&I::setMouseX), 63 },
        { slotOf(&I::setMouseY), 64 },
        { slotOf(&I::clearColourTable), 81 },
        { slotOf(&I::getFieldLines), 82 },
        { slotOf(&I::getCentreLines), 83 },
        { slotOf(&I::setDrawFieldLines), 84 },
    };
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(rows[i].actual, rows[i].expected) << "row " << i;
    for (const auto& pair : kBoolPairs) {
        EXPECT_EQ(slotOf(pair.get), pair.getterSlot) << pair.name;
        EXPECT_EQ(slotOf(pair.set), pair.getterSlot + 1) << pair.name;
    }
    const long numberSlots[] = { 48, 50, 52, 54, 56, 65, 67, 69, 71, 73, 75, 77, 79 };
    ASSERT_EQ(numberPairs().size(), std::size(numberSlots));
    for (std::size_t i = 0; i < std::size(numberSlots); ++i) {
        EXPECT_EQ(numberPairs()[i].getterSlot, numberSlots[i]) << numberPairs()[i].name;
        EXPECT_EQ(numberPairs()[i].setterSlot, numberSlots[i] + 1) << numberPairs()[i].name;
    }
}

TEST_F(EngineInterface, StartsWithTheDocumentedDefaults)
{
    for (const auto& pair : kBoolPairs)
        EXPECT_EQ((engine->*pair.get)(), pair.initial) << pair.name;
    for (const auto& pair : numberPairs())
        EXPECT_FLOAT_EQ(static_cast<float>(pair.get(*engine)), static_cast<float>(pair.initial))
            << pair.name;
    EXPECT_EQ(engine->getFrameWidth(), 0);
    EXPECT_EQ(engine->getFrameHeight(), 0);
    EXPECT_EQ(engine->getFrameCount(), 0.0);
    EXPECT_EQ(engine->getFps(), 0.0);
    EXPECT_EQ(engine->getFramePosition(), 0.0);
    EXPECT_EQ(engine->getPosition(), 0);
    EXPECT_TRUE(engine->hasFrame());
    EXPECT_TRUE(allZero(engine->exportFrame(), 320 * 240 * 3)) << "a black 320 x 240 picture";
    EXPECT_TRUE(engine->getFieldLines().empty());
    EXPECT_TRUE(engine->getCentreLines().empty());
}

// A setter that writes the wrong field, or a pair served from the wrong slot,
// changes some other getter.
TEST_F(EngineInterface, EachSetterChangesOnlyItsOwnGetter)
{
    for (const auto& changed : kBoolPairs) {
        VistrelInterface* fresh = newEngine();
        ASSERT_NE(fresh, nullptr);
        (fresh->*changed.set)(!changed.initial);
        for (const auto& pair : kBoolPairs) {
            const bool expected = &pair == &changed ? !pair.initial : pair.initial;
            EXPECT_EQ((fresh->*pair.get)(), expected)
                << "set " << changed.name << ", read " << pair.name;
        }
    }
    for (const auto& pair : numberPairs())
        pair.set(*engine, pair.probe);
    for (const auto& pair : numberPairs())
        EXPECT_FLOAT_EQ(static_cast<float>(pair.get(*engine)), static_cast<float>(pair.probe))
            << pair.name;
    for (const auto& pair : kBoolPairs)
        EXPECT_EQ((engine->*pair.get)(), pair.initial) << pair.name;
}

TEST(EngineInterfaceFactory, EachCallMakesAnIndependentEngine)
{
    PrivateWorkDir workDir("factory");
    VistrelInterface* engine = newEngine();
    ASSERT_NE(engine, nullptr) << dlerror();
    writeText("debug.log", "written after the first engine\n");
    testing::internal::CaptureStdout();
    VistrelInterface* second = newEngine();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "file_path: debug.log\n");
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second, engine);
    EXPECT_EQ(fs::file_size("debug.log"), 0u) << "the new engine empties the log";

    second->setPaused(true);
    second->setJumpStep(500);
    second->setFieldWidth(50.0f);
    EXPECT_FALSE(engine->isPaused());
    EXPECT_EQ(engine->getJumpStep(), 100);
    EXPECT_FLOAT_EQ(engine->getFieldWidth(), 27.0f);
    // Each has its own lock: one engine's readers do not wait for the other's.
    EXPECT_TRUE(engine->hasFrame());
    EXPECT_TRUE(second->hasFrame());
}

TEST_F(EngineInterface, UnopenableFilesLeaveNoVideo)
{
    ClipSettings clipSettings;
    clipSettings.frames = 20;
    const std::string good = clipPath(clipSettings, "host_good.mkv");
    ASSERT_FALSE(good.empty());
    const fs::path dir = scratchDir() / "unopenable";
    fs::create_directories(dir / "folder.mkv");
    writeText(dir / "empty.mp4", "");
    writeText(dir / "text.mp4", "this is not a video\n");
    const std::string clip = readText(good);
    writeText(dir / "truncated.mkv", clip.substr(0, 300));

    for (const char* name :
        { "missing.mkv", "empty.mp4", "text.mp4", "truncated.mkv", "folder.mkv" }) {
        ASSERT_EQ(engine->LoadVideo(good), 0) << name;
        engine->setStopped(false);
        EXPECT_EQ(engine->LoadVideo((dir / name).string()), -1) << name;
        EXPECT_EQ(engine->getFrameWidth(), 0) << name;
        EXPECT_EQ(engine->getFrameHeight(), 0) << name;
        EXPECT_EQ(engine->getFrameCount(), 0.0) << name;
        EXPECT_EQ(engine->getFps(), 0.0) << name;
        EXPECT_EQ(engine->getFramePosition(), 0.0) << name;
        EXPECT_EQ(engine->Play(), -1) << name;
        EXPECT_FALSE(engine->isStopped()) << name << ": a refused Play changes nothing";
        EXPECT_EQ(engine->Pause(), 0);
        EXPECT_FALSE(engine->isPaused()) << name;
    }
}

TEST_F(EngineInterface, OpensNonAsciiFileNames)
{
    ClipSettings clipSettings;
    clipSettings.width = 160;
    clipSettings.height = 120;
    clipSettings.frames = 3;
    const std::string plain = clipPath(clipSettings, "host_plain.mkv");
    ASSERT_FALSE(plain.empty());
    // The last one is relative, as FFmpeg would take it for a protocol; it
    // is opened from the scratch folder.
    const fs::path home = fs::current_path();
    fs::current_path(scratchDir());
    for (const fs::path& path : { scratchDir() / "Spielfeld Süd – Tor.mkv",
             scratchDir() / "球场 1:2.mkv", fs::path("pipe:0.mkv") }) {
        const std::string name = path.string();
        fs::copy_file(plain, path, fs::copy_options::overwrite_existing);
        EXPECT_EQ(engine->LoadVideo(name), 0) << name;
        EXPECT_EQ(engine->getFrameWidth(), 160) << name;
        EXPECT_EQ(engine->getFrameHeight(), 120) << name;
        EXPECT_EQ(engine->getFrameCount(), 3.0) << name;
        EXPECT_TRUE(allZero(engine->exportFrame(), 160 * 120 * 3)) << name;
    }
    fs::current_path(home);
}
