#pragma once

class VistrelInterface;
class WorkerThread;

// Jumps served by the running playback loop: the step is set in the engine,
// the request handed over, and the caller waits until the loop has served
// it. The wait ends as well when the loop is no longer running, and in any
// case after a bound; a request left unserved is withdrawn so that a later
// playback does not perform it.
class LoopJumper
{
public:
    enum class Direction { Back, Forward };

    LoopJumper(VistrelInterface* engine, const WorkerThread* worker);

    // Jumps by stepMs, held inside the video: not before its start, not past
    // lastFrameMs.
    void jumpBy(Direction direction, int stepMs, int lastFrameMs);
    // One jump from the current position to targetMs. Every jump sets its
    // own step, so none is restored (the loop may read it late).
    void jumpTo(int targetMs);

    // The step that keeps a jump from positionMs inside [0, lastFrameMs].
    static int clampedStep(Direction direction, int stepMs, int positionMs, int lastFrameMs);
    // The time of frame `index`, rounded up to the millisecond, so that
    // frameAtTime gives the frame back; and the frame a time falls in, by
    // the engine's rule for jumps.
    static int frameTimeMs(long long index, double fps);
    static long long frameAtTime(int ms, double fps);

private:
    void request(Direction direction);

    VistrelInterface* engine;
    const WorkerThread* worker;
};
