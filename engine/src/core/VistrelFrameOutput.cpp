#include "core/Vistrel.h"

#include <opencv2/imgproc.hpp>

// Burns the pitch overlay into the display image and renews the export
// picture as its R, G, B copy. While the display image is the frame itself
// (no stage replaced it), the frame must stay clean for the passes that
// redraw it: it is converted once and the overlay goes, in R, G, B order,
// into the export picture. Both results are the same pixels; the export
// picture keeps its buffer from pass to pass. Each drawing counts as a new
// export picture for the hosts that poll exportSerial.
void Vistrel::DrawFieldLines()
{
    trace("DrawFieldLines", "entered");
    if (outputImage.empty()) {
        trace("DrawFieldLines", "left");
        return;
    }
    if (outputImage.data == frame.data) {
        cv::cvtColor(frame, exportImage, cv::COLOR_BGR2RGB);
        field.DrawOnto(exportImage, CField::ChannelOrder::Rgb);
    } else {
        field.DrawOnto(outputImage);
        cv::cvtColor(outputImage, exportImage, cv::COLOR_BGR2RGB);
    }
    ++exportSerial;
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
