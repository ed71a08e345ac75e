#pragma once

#include <atomic>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string>

// The engine's trace file. Each line is appended by opening the file,
// writing and closing it again, so other programs can read it meanwhile.
// Problems with the file are reported on standard output, never thrown.
class CLogger
{
public:
    explicit CLogger(const std::string& path);
    virtual ~CLogger();

    void setEnabled(bool value);
    bool isEnabled() const { return enabled; }
    void logInfo(const std::string& source, const std::string& message);
    void logWarning(const std::string& source, const std::string& message);
    void logError(const std::string& source, const std::string& message);
    void close();

    // "5-12-2026 6:31:7 " for 6:31:07 on 5 December 2026.
    static std::string timestamp(const std::tm& localTime);

private:
    void log(const char* levelText, const std::string& source, const std::string& message);
    void writeLine(const std::string& line);

    std::atomic<bool> enabled { true };
    bool fileOk = false;
    std::string filePath;
    std::ofstream stream;
    std::mutex writeMutex; // serialises the open-write-close of one line
};
