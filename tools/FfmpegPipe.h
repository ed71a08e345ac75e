#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testclips {

// Runs the ffmpeg program as a child process, feeds it bytes on its standard
// input and collects what it prints. The child is always reaped: a pipe that
// is destroyed before finish() kills it.
class FfmpegPipe
{
public:
    FfmpegPipe() = default;
    ~FfmpegPipe();
    FfmpegPipe(const FfmpegPipe&) = delete;
    FfmpegPipe& operator=(const FfmpegPipe&) = delete;

    // Starts "ffmpeg" (looked up on PATH) with the given arguments.
    bool start(const std::vector<std::string>& args, std::string* error);
    // False once the child stopped reading (it failed or exited).
    bool write(const void* data, std::size_t bytes);
    // Ends the input, waits for the child and returns true when it exited
    // with status 0; *output receives everything it printed.
    bool finish(std::string* output);

    // Runs ffmpeg without input; true when it exited with status 0.
    static bool run(const std::vector<std::string>& args, std::string* output);

private:
    void closeInput();
    std::string readLog() const;

    pid_t child = -1;
    int input = -1;
    int log = -1;
};

} // namespace testclips
