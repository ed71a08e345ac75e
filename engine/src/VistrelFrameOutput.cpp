#include "Vistrel.h"

// Placeholder until the frame output lands.
void Vistrel::DrawFieldLines()
{
    trace("DrawFieldLines", "entered");
    trace("DrawFieldLines", "left");
}

int Vistrel::SetMousePointer(int x, int y)
{
    mouseX = x;
    mouseY = y;
    return 0;
}
