#pragma once

// The camera's radial lens distortion as the engine models it: a recorded
// picture point d corresponds to the ideal point
// c + (d - c) (1 + k1 rho^2 + k2 rho^4) about the centre c = (cx, cy), rho
// being |d - c| over half the picture diagonal. k1 = k2 = 0 is the pinhole
// camera, whatever the centre.
struct CameraLens
{
    double k1 = 0.0;
    double k2 = 0.0;
    double cx = 0.0;
    double cy = 0.0;

    bool isPinhole() const { return k1 == 0.0 && k2 == 0.0; }
    bool operator==(const CameraLens&) const = default;
};
