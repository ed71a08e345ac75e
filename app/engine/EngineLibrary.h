#pragma once

#include <string>
#include <vector>

class VistrelInterface;

// Binds the Vistrel engine at run time. The library is looked for beside the
// program's own executable first (whatever the working directory), then where
// the install rules put it, then on the system's library search path. The
// first library found decides: without a working factory there is no
// engine, and a library that loaded is never unloaded once its factory ran.
class EngineLibrary
{
public:
    static constexpr const char* kLibraryName = "libVistrel.so";
    static constexpr const char* kFactoryName = "GetVistrelInterface";

    // The process's engine object, or null when no library with a working
    // factory was found. Reasons go to standard error.
    static VistrelInterface* bind();

    // Loads the library at exactly this path (or by bare name through the
    // system's search path) and calls its factory; null on any failure.
    static VistrelInterface* bindLibrary(const std::string& path);

    // The places bind() tries, in order.
    static std::vector<std::string> candidates();

    // Directory of the running executable, from /proc/self/exe; empty if unknown.
    static std::string executableDir();
};
