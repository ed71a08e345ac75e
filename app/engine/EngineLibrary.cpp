#include "engine/EngineLibrary.h"

#include "engine/EngineFunctions.h"

#include "VistrelInterface.h"

#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>

namespace {

#ifndef TARVOLA_ENGINE_INSTALL_RELDIR
#define TARVOLA_ENGINE_INSTALL_RELDIR "../lib/tarvola"
#endif

using Factory = VistrelInterface* (*)();

void report(const std::string& what) { std::fprintf(stderr, "tarvola: %s\n", what.c_str()); }

} // namespace

std::string EngineLibrary::executableDir()
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return self.parent_path().string();
}

std::vector<std::string> EngineLibrary::candidates()
{
    std::vector<std::string> paths;
    const std::string dir = executableDir();
    if (!dir.empty()) {
        namespace fs = std::filesystem;
        paths.push_back((fs::path(dir) / kLibraryName).string());
        const fs::path installed = fs::path(dir) / TARVOLA_ENGINE_INSTALL_RELDIR / kLibraryName;
        paths.push_back(installed.lexically_normal().string());
    }
    paths.emplace_back(kLibraryName); // the system's search order
    return paths;
}

VistrelInterface* EngineLibrary::bind()
{
    for (const std::string& path : candidates()) {
        const bool bareName = path.find('/') == std::string::npos;
        if (!bareName && !std::filesystem::exists(path))
            continue;
        return bindLibrary(path);
    }
    return nullptr;
}

VistrelInterface* EngineLibrary::bindLibrary(const std::string& path)
{
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = dlerror();
        report("cannot load " + path + ": " + (why ? why : "unknown error"));
        return nullptr;
    }
    auto factory = reinterpret_cast<Factory>(dlsym(module, kFactoryName));
    if (!factory) {
        report(path + " has no " + kFactoryName);
        dlclose(module);
        return nullptr;
    }
    VistrelInterface* engine = factory();
    if (!engine)
        report(std::string(kFactoryName) + " in " + path + " returned no engine");
    // The module stays loaded for the process's life: its C functions are
    // looked up in it whenever a caller needs them.
    EngineFunctions::registerEngine(engine, module);
    return engine;
}
