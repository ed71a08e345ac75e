#pragma once

#include "ClipGenerator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

// Helpers shared by the engine's unit and interface tests.
namespace enginetest {

namespace fs = std::filesystem;

// A scratch folder of this test process, created on first use and removed
// when the process ends.
inline fs::path scratchDir()
{
    struct Folder
    {
        fs::path path = fs::temp_directory_path() / ("vistrel-test-" + std::to_string(getpid()));
        Folder() { fs::create_directories(path); }
        ~Folder()
        {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    };
    static const Folder folder;
    return folder.path;
}

// Makes a fresh folder the working directory for a scope, so that the
// debug.log written there is not shared with tests running in parallel.
class PrivateWorkDir
{
public:
    explicit PrivateWorkDir(const std::string& name)
        : previous(fs::current_path())
    {
        const fs::path dir = scratchDir() / name;
        fs::create_directories(dir);
        fs::current_path(dir);
    }
    ~PrivateWorkDir() { fs::current_path(previous); }
    PrivateWorkDir(const PrivateWorkDir&) = delete;
    PrivateWorkDir& operator=(const PrivateWorkDir&) = delete;

private:
    fs::path previous;
};

// Writes the clip once per process under `name` in the scratch folder and
// returns its path; empty (with a test failure) when it cannot be written.
inline std::string clipPath(const testclips::ClipSettings& clipSettings, const std::string& name)
{
    static std::map<std::string, std::string> written;
    if (const auto found = written.find(name); found != written.end())
        return found->second;
    const std::string path = (scratchDir() / name).string();
    std::string error;
    if (!testclips::writeClip(clipSettings, path, &error, false)) {
        ADD_FAILURE() << "cannot write " << path << ": " << error;
        return {};
    }
    written[name] = path;
    return path;
}

inline std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> readLines(const fs::path& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

inline void writeText(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace enginetest
