#include "VistrelInterface.h"

// Placeholder until the engine object lands.
extern "C" VISTREL_EXPORT VistrelInterface* GetVistrelInterface()
{
    return nullptr;
}
