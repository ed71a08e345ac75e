#pragma once

// What a left click on a video screen does: mark a point (a corner, then the
// game centre), or pick a corner and drag it.
enum class InteractionMode { MarkPoints, SelectCorners };
