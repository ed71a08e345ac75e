#include "EngineTestSupport.h"
#include "core/Vistrel.h"
#include "VistrelTestAccess.h"

#include <gtest/gtest.h>

#include <thread>

using namespace enginetest;

namespace {

// Whether a thread other than the caller could take the mutex right now.
bool freeForOtherThreads(Vistrel& engine)
{
    bool free = false;
    std::thread([&] {
        pthread_mutex_t& mutex = VistrelTestAccess::mutex(engine);
        if (pthread_mutex_trylock(&mutex) == 0) {
            free = true;
            pthread_mutex_unlock(&mutex);
        }
    }).join();
    return free;
}

} // namespace

TEST(VistrelMutex, OwnerTakesItAgainAndReleasesAsOften)
{
    Vistrel engine;
    EXPECT_TRUE(freeForOtherThreads(engine)) << "free after construction";
    EXPECT_FALSE(engine.UnLock());
    engine.Lock();
    EXPECT_FALSE(engine.isBusy());
    engine.Lock();
    EXPECT_FALSE(freeForOtherThreads(engine));
    EXPECT_TRUE(engine.UnLock());
    EXPECT_TRUE(engine.UnLock());
    EXPECT_FALSE(freeForOtherThreads(engine));
    EXPECT_TRUE(engine.UnLock());
    EXPECT_FALSE(engine.UnLock());
    EXPECT_TRUE(freeForOtherThreads(engine));
}

TEST(VistrelMutex, ReleaseByAnotherThreadFails)
{
    Vistrel engine;
    engine.Lock();
    bool released = true;
    std::thread([&] { released = engine.UnLock(); }).join();
    EXPECT_FALSE(released);
    EXPECT_TRUE(engine.UnLock());
    EXPECT_FALSE(engine.UnLock());
}

TEST(VistrelMutex, OwnerThatEndsHandsItToTheNextWaiter)
{
    for (const int levels : { 1, 3 }) {
        Vistrel engine;
        std::thread([&] {
            for (int i = 0; i < levels; ++i)
                engine.Lock();
        }).join();
        EXPECT_FALSE(engine.isBusy()) << levels;
        EXPECT_TRUE(engine.UnLock()) << levels;
        EXPECT_FALSE(engine.UnLock()) << levels;
        EXPECT_TRUE(freeForOtherThreads(engine)) << levels;
    }
}

TEST(VistrelMutex, PitchModelSlotsLeaveTheMutexFree)
{
    Vistrel engine;
    engine.setFieldWidth(68.0f);
    engine.setFieldLength(105.0f);
    engine.setCentreCircleRadius(9.15f);
    engine.setTopPointsLeft(2);
    engine.setBottomPointsLeft(2);
    engine.clearFieldPoints();
    for (const auto& [which, x, y] :
        { std::tuple { 0, 10, 10 }, { 0, 90, 10 }, { 1, 0, 70 }, { 1, 100, 70 } })
        engine.addFieldPoint(which, x, y);
    engine.setGameCentre(50, 40);
    engine.setDrawFieldLines(false);
    EXPECT_FLOAT_EQ(engine.getFieldWidth(), 68.0f);
    EXPECT_FLOAT_EQ(engine.getFieldLength(), 105.0f);
    EXPECT_FLOAT_EQ(engine.getCentreCircleRadius(), 9.15f);
    EXPECT_TRUE(freeForOtherThreads(engine));
    EXPECT_FALSE(engine.UnLock());
}
