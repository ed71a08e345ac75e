#include "Vistrel.h"

#include <opencv2/imgproc.hpp>

// Burns the pitch overlay into the display image and renews the export
// picture as its R, G, B copy. Both images keep their buffers from pass to
// pass; they are only reallocated when the frame size changes.
void Vistrel::DrawFieldLines()
{
    trace("DrawFieldLines", "entered");
    // The display image is a copy already: the overlay goes straight into
    // it rather than into a further copy that is then copied back.
    field.DrawOnto(outputImage);
    if (!outputImage.empty())
        cv::cvtColor(outputImage, exportImage, cv::COLOR_BGR2RGB);
    trace("DrawFieldLines", "left");
}

// Stores the mouse pointer when it lies on the current frame (both bounds
// inclusive). Without a frame every position is refused.
int Vistrel::SetMousePointer(int x, int y)
{
    trace("SetMousePointer", "entered");
    if (frame.empty() || x < 0 || x > frame.cols || y < 0 || y > frame.rows)
        return -1;
    mouseX = x;
    mouseY = y;
    trace("SetMousePointer", "left");
    return 0;
}
