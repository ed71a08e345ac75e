#pragma once

#include <mutex>
#include <vector>

class VistrelInterface;

// The engine's plain C functions beside the 85 slots, resolved by name in the
// library that made an engine. Every call is null-safe: for an engine that no
// library registered (a test double) or a library that lacks a function (an
// older build), the call does nothing and reports -1, so features built on it
// degrade instead of crashing.
class EngineFunctions
{
public:
    // Looks the functions up in module (a dlopen handle) for this engine.
    static void registerEngine(VistrelInterface* engine, void* module);
    // The functions that belong to engine; all missing for an unknown one.
    static EngineFunctions of(VistrelInterface* engine);

    bool canShowFrames() const { return seekFrameFn && frameIndexFn && frameTotalFn; }

    int seekFrame(long long index) const;
    long long frameIndex() const;
    long long frameTotal() const;
    int redrawFrame() const;
    // The engine's count of export pictures drawn; 0 when unknown (no such
    // function), which a screen takes as "fetch every time".
    unsigned long long frameSerial() const;

private:
    using SeekFrame = int (*)(VistrelInterface*, long long);
    using FrameQuery = long long (*)(VistrelInterface*);
    using Redraw = int (*)(VistrelInterface*);
    using Serial = unsigned long long (*)(VistrelInterface*);

    struct Entry
    {
        VistrelInterface* engine;
        void* module;
    };

    EngineFunctions() = default;
    EngineFunctions(VistrelInterface* engine, void* module);
    template <typename Function> static Function resolve(void* module, const char* name);

    static std::mutex registryMutex;
    static std::vector<Entry> registry;

    VistrelInterface* engine = nullptr;
    SeekFrame seekFrameFn = nullptr;
    FrameQuery frameIndexFn = nullptr;
    FrameQuery frameTotalFn = nullptr;
    Redraw redrawFrameFn = nullptr;
    Serial frameSerialFn = nullptr;
};
