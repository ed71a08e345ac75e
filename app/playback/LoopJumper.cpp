#include "playback/LoopJumper.h"

#include "VistrelInterface.h"
#include "playback/WorkerThread.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace {

// A jump is served by the playback loop within one pass; the bound only
// matters when the loop cannot serve it (it is ending, or stuck in a decode).
constexpr int kJumpWaitLimitMs = 2000;
constexpr std::chrono::milliseconds kJumpPollInterval { 1 };
// A frame time a rounding error above a whole millisecond is that millisecond.
constexpr double kRoundingSlackMs = 1e-6;

} // namespace

LoopJumper::LoopJumper(VistrelInterface* engine, const WorkerThread* worker)
    : engine(engine)
    , worker(worker)
{ }

int LoopJumper::clampedStep(Direction direction, int stepMs, int positionMs, int lastFrameMs)
{
    const int now = std::max(positionMs, 0);
    const int room = direction == Direction::Back ? now : std::max(lastFrameMs - now, 0);
    return std::clamp(stepMs, 0, room);
}

int LoopJumper::frameTimeMs(long long index, double fps)
{
    const double ms = std::ceil(double(index) * 1000.0 / fps - kRoundingSlackMs);
    return int(std::clamp(ms, 0.0, double(INT_MAX)));
}

long long LoopJumper::frameAtTime(int ms, double fps)
{
    return std::max(0LL, (long long)(double(ms) * fps) / 1000);
}

void LoopJumper::jumpBy(Direction direction, int stepMs, int lastFrameMs)
{
    engine->setJumpStep(clampedStep(direction, stepMs, engine->getPosition(), lastFrameMs));
    request(direction);
}

void LoopJumper::jumpTo(int targetMs)
{
    const int diff = targetMs - engine->getPosition();
    engine->setJumpStep(std::abs(diff));
    request(diff < 0 ? Direction::Back : Direction::Forward);
}

void LoopJumper::request(Direction direction)
{
    const bool back = direction == Direction::Back;
    auto pending
        = [&] { return back ? engine->isJumpBackPending() : engine->isJumpForwardPending(); };
    back ? engine->setJumpBack(true) : engine->setJumpForward(true);
    const QDeadlineTimer deadline(kJumpWaitLimitMs);
    while (pending() && worker->isRunning() && !deadline.hasExpired())
        std::this_thread::sleep_for(kJumpPollInterval);
    if (pending())
        back ? engine->setJumpBack(false) : engine->setJumpForward(false);
}
