#include "core/Vistrel.h"

#include <exception>
#include <memory>

// Every call makes a new, independent engine; the host keeps it for the life
// of the process, so ownership passes to the caller here.
extern "C" VISTREL_EXPORT VistrelInterface* GetVistrelInterface()
{
    try {
        return std::make_unique<Vistrel>().release();
    } catch (const std::exception&) {
        return nullptr;
    }
}
