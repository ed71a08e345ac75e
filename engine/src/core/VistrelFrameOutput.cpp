#include "core/Vistrel.h"

#include <opencv2/imgproc.hpp>

// Burns the pitch overlay into the display image and renews the export
// picture as its R, G, B copy. While the display image is the frame itself
// (no stage replaced it), the frame must stay clean for the passes that
// redraw it (and the frame cache shares it): it is converted and the
// overlay drawn, in R, G, B order, into the export picture only when a host
// fetches it (renderPendingExport). Both results are the same pixels; the
// export picture keeps its buffer from pass to pass. Each drawing counts as
// a new export picture for the hosts that poll exportSerial.
void Vistrel::DrawFieldLines()
{
    trace("DrawFieldLines", "entered");
    if (outputImage.empty()) {
        trace("DrawFieldLines", "left");
        return;
    }
    if (outputImage.data == frame.data) {
        exportSource = frame;
        exportPending = true;
    } else {
        field.DrawOnto(outputImage);
        cv::cvtColor(outputImage, exportImage, cv::COLOR_BGR2RGB);
        exportSource.release();
        exportPending = false;
    }
    ++exportSerial;
    trace("DrawFieldLines", "left");
}

// Called with the mutex held by the host that fetches the picture.
void Vistrel::renderPendingExport()
{
    if (!exportPending)
        return;
    cv::cvtColor(exportSource, exportImage, cv::COLOR_BGR2RGB);
    field.DrawOnto(exportImage, CField::ChannelOrder::Rgb);
    exportSource.release();
    exportPending = false;
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
