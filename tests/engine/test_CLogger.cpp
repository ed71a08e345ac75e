#include "core/CLogger.h"
#include "EngineTestSupport.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

using namespace enginetest;

namespace {

std::tm localTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm time {};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

const std::regex kLinePattern(
    R"(\d{1,2}-\d{1,2}-\d{4} \d{1,2}:\d{1,2}:\d{1,2}  - (INFO|WARNING|ERROR) -  (.*?) - (.*))");

} // namespace

TEST(CLogger, TimestampHasNoLeadingZerosAndOneTrailingBlank)
{
    const struct
    {
        std::tm time;
        const char* expected;
    } rows[] = {
        { localTime(2026, 12, 5, 6, 31, 7), "5-12-2026 6:31:7 " },
        { localTime(2027, 1, 31, 23, 5, 59), "31-1-2027 23:5:59 " },
        { localTime(2000, 1, 1, 0, 0, 0), "1-1-2000 0:0:0 " },
    };
    for (const auto& row : rows)
        EXPECT_EQ(CLogger::timestamp(row.time), row.expected);
}

TEST(CLogger, WritesOneFormattedLinePerCallOnlyWhileEnabled)
{
    const fs::path path = scratchDir() / "format.log";
    CLogger logger(path.string());
    logger.logInfo("Vistrel::Play", "locking");
    logger.logWarning("Vistrel::Stop", "odd");
    logger.logError("Vistrel::Pause", "bad - worse");
    logger.setEnabled(false);
    logger.logInfo("Vistrel::Play", "not written");

    const auto lines = readLines(path);
    ASSERT_EQ(lines.size(), 3u);
    const char* expected[][3] = {
        { "INFO", "Vistrel::Play", "locking" },
        { "WARNING", "Vistrel::Stop", "odd" },
        { "ERROR", "Vistrel::Pause", "bad - worse" },
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[i], match, kLinePattern)) << lines[i];
        EXPECT_EQ(match[1], expected[i][0]);
        EXPECT_EQ(match[2], expected[i][1]);
        EXPECT_EQ(match[3], expected[i][2]);
    }
}

TEST(CLogger, UnwritableFileIsReportedOnceAndNeverWritten)
{
    const fs::path path = scratchDir() / "no-such-folder" / "debug.log";
    testing::internal::CaptureStdout();
    CLogger logger(path.string());
    logger.logInfo("Vistrel::Play", "entered");
    logger.close();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
        "file_path: " + path.string() + "\nERROR - CLogger::CLogger - could not open file "
            + path.string() + "\n");
    EXPECT_FALSE(fs::exists(path));
}

TEST(CLogger, ConcurrentLinesStayWhole)
{
    constexpr int kThreads = 4;
    constexpr int kLinesPerThread = 200;
    const fs::path path = scratchDir() / "concurrent.log";
    CLogger logger(path.string());
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&logger, t] {
            for (int i = 0; i < kLinesPerThread; ++i)
                logger.logInfo("Writer" + std::to_string(t), "line " + std::to_string(i));
        });
    }
    for (auto& writer : writers)
        writer.join();

    const auto lines = readLines(path);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesPerThread));
    for (const auto& line : lines)
        EXPECT_TRUE(std::regex_match(line, kLinePattern)) << line;
}
