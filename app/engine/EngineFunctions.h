#pragma once

#include "engine/CameraLens.h"

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
    // Any C function of the library that made engine, by name; null when the
    // engine or the function is unknown.
    static void* symbol(VistrelInterface* engine, const char* name);

    bool canShowFrames() const { return seekFrameFn && frameIndexFn && frameTotalFn; }
    bool canCheckCalibration() const { return calibrationFitFn != nullptr; }
    bool canJudgeCalibration() const { return judgeCalibrationFn != nullptr; }
    bool canFindCorners() const { return findCornersFn != nullptr; }
    bool canModelLens() const { return setLensFn && getLensFn && estimateLensFn; }

    int seekFrame(long long index) const;
    long long frameIndex() const;
    long long frameTotal() const;
    int redrawFrame() const;
    int snapToLines(double px, double py, double radiusPx, double* sx, double* sy) const;
    int estimateDimensions(double* length, double* width) const;
    int calibrationFit(double* meanPx) const;
    // The fit for a centre circle of circleRadiusM metres (0: not known), the
    // fit that only the corners decide, and the painted circle's radius in
    // metres (0: none found round).
    int judgeCalibration(
        double circleRadiusM, double* meanPx, double* cornerPx, double* paintedRadiusM) const;
    // The pitch's four corners on the current frame in click order, as
    // (x, y) pairs; -1 when not all of them are visible.
    int findCorners(double corners[8]) const;
    // The engine's count of export pictures drawn; 0 when unknown (no such
    // function), which a screen takes as "fetch every time".
    unsigned long long frameSerial() const;
    // The lens: set (the calibration is refitted through it), read, or
    // estimated on the current frame and set. -1 changes nothing.
    int setLens(const CameraLens& lens) const;
    int lens(CameraLens* lens) const;
    int estimateLens(CameraLens* lens) const;
    // How straight the painted lines of the last estimate run through its
    // lens (root mean square, pixels); -1 when unknown.
    int lensStraightness(double* rmsPx) const;
    // Calibrates from count >= 4 picture points (x, y pairs, video pixels)
    // and their pitch positions; rmsPx gets the fit's error in pixels.
    int calibrateFromPoints(int count, const double* picture, const double* pitch, double* rmsPx) const;
    // The picture point (video pixels, through the lens) of a pitch point.
    int pitchToPicture(double x, double y, double* px, double* py) const;

private:
    using SeekFrame = int (*)(VistrelInterface*, long long);
    using FrameQuery = long long (*)(VistrelInterface*);
    using Redraw = int (*)(VistrelInterface*);
    using Snap = int (*)(VistrelInterface*, double, double, double, double*, double*);
    using Estimate = int (*)(VistrelInterface*, double*, double*);
    using Fit = int (*)(VistrelInterface*, double*);
    using Judge = int (*)(VistrelInterface*, double, double*, double*, double*);
    using Serial = unsigned long long (*)(VistrelInterface*);
    using FindCorners = int (*)(VistrelInterface*, double*);
    using SetLens = int (*)(VistrelInterface*, double, double, double, double);
    using GetLens = int (*)(VistrelInterface*, double*, double*, double*, double*);
    using FromPoints = int (*)(VistrelInterface*, int, const double*, const double*, double*);
    using Map = int (*)(VistrelInterface*, double, double, double*, double*);

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
    Snap snapToLinesFn = nullptr;
    Estimate estimateDimensionsFn = nullptr;
    Fit calibrationFitFn = nullptr;
    Judge judgeCalibrationFn = nullptr;
    Serial frameSerialFn = nullptr;
    FindCorners findCornersFn = nullptr;
    SetLens setLensFn = nullptr;
    GetLens getLensFn = nullptr;
    GetLens estimateLensFn = nullptr;
    Fit lensStraightnessFn = nullptr;
    FromPoints fromPointsFn = nullptr;
    Map pitchToPictureFn = nullptr;
};
