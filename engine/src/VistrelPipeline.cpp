#include "Vistrel.h"

// Placeholder until the analysis stages land: with every stage off a pass
// shows the frame as read.
void Vistrel::ProcessImage()
{
    trace("ProcessImage", "entered");
    frameProcessed = true;
    trace("ProcessImage", "left");
}

void Vistrel::Filter()
{
    trace("Filter", "entered");
    trace("Filter", "left");
}

void Vistrel::ColourClassification()
{
    trace("ColourClassification", "entered");
    trace("ColourClassification", "left");
}

int Vistrel::pickColour(int, int, bool)
{
    return -1;
}

void Vistrel::clearColourTable() { }
