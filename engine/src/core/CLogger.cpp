#include "core/CLogger.h"

#include <cstdio>
#include <exception>
#include <iostream>

namespace {

constexpr const char* kInfoText = " - INFO -  ";
constexpr const char* kWarningText = " - WARNING -  ";
constexpr const char* kErrorText = " - ERROR -  ";

void reportOpenFailure(const std::string& path)
{
    std::cout << "ERROR - CLogger::CLogger - could not open file " << path << "\n";
}

} // namespace

CLogger::CLogger(const std::string& path)
    : filePath(path)
{
    std::cout << "file_path: " << filePath << "\n" << std::flush;
    try {
        // Truncating once creates the file or empties an old one; every line
        // later reopens it for appending.
        stream.open(filePath, std::ios::out | std::ios::trunc);
        if (stream.is_open())
            fileOk = true;
        else
            reportOpenFailure(filePath);
        stream.close();
    } catch (const std::exception& e) {
        std::cout << "CLogger::CLogger " << e.what();
    }
}

CLogger::~CLogger() { close(); }

void CLogger::setEnabled(bool value) { enabled = value; }

void CLogger::logInfo(const std::string& source, const std::string& message)
{
    log(kInfoText, source, message);
}

void CLogger::logWarning(const std::string& source, const std::string& message)
{
    log(kWarningText, source, message);
}

void CLogger::logError(const std::string& source, const std::string& message)
{
    log(kErrorText, source, message);
}

void CLogger::close()
{
    try {
        std::lock_guard<std::mutex> lock(writeMutex);
        if (stream.is_open())
            stream.close();
    } catch (const std::exception& e) {
        std::cout << e.what();
    }
}

std::string CLogger::timestamp(const std::tm& localTime)
{
    char text[96];
    std::snprintf(text, sizeof text, "%d-%d-%d %d:%d:%d ", localTime.tm_mday, localTime.tm_mon + 1,
        localTime.tm_year + 1900, localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
    return text;
}

void CLogger::log(const char* levelText, const std::string& source, const std::string& message)
{
    if (!enabled || !fileOk)
        return;
    try {
        const std::time_t now = std::time(nullptr);
        std::tm localTime {};
        localtime_r(&now, &localTime);
        writeLine(timestamp(localTime) + levelText + source + " - " + message);
    } catch (const std::exception& e) {
        std::cout << e.what();
    }
}

void CLogger::writeLine(const std::string& line)
{
    if (!enabled || !fileOk)
        return;
    std::lock_guard<std::mutex> lock(writeMutex);
    try {
        stream.open(filePath, std::ios::out | std::ios::app);
        if (!stream.is_open()) {
            reportOpenFailure(filePath);
            return;
        }
    } catch (const std::exception& e) {
        std::cout << "CLogger::CLogger " << e.what();
    }
    try {
        if (stream.is_open())
            stream << line << "\n";
    } catch (const std::exception& e) {
        std::cout << e.what();
    }
    stream.close();
    stream.clear();
}
