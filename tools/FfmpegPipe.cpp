#include "FfmpegPipe.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testclips {

namespace {

constexpr std::size_t kMaxLogBytes = 64 * 1024;

std::string exitText(int status)
{
    if (WIFEXITED(status))
        return "ffmpeg exited with status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "ffmpeg was ended by signal " + std::to_string(WTERMSIG(status));
    return "ffmpeg ended abnormally";
}

// Spawns ffmpeg with stdinFd as its standard input and logFd as both
// standard output and standard error.
int spawn(const std::vector<std::string>& args, int stdinFd, int logFd, pid_t* pid)
{
    std::vector<char*> argv;
    static char program[] = "ffmpeg";
    argv.push_back(program);
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, stdinFd, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, logFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, logFd, STDERR_FILENO);
    const int rc = posix_spawnp(pid, program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

} // namespace

FfmpegPipe::~FfmpegPipe()
{
    closeInput();
    if (child > 0) {
        kill(child, SIGKILL);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    }
    if (log >= 0)
        ::close(log);
}

bool FfmpegPipe::start(const std::vector<std::string>& args, std::string* error)
{
    auto fail = [error](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };
    if (child > 0)
        return fail("ffmpeg is already running");
    log = memfd_create("ffmpeg-log", MFD_CLOEXEC);
    if (log < 0)
        return fail(std::string("cannot create a log buffer: ") + std::strerror(errno));
    // A socket rather than a pipe: send() with MSG_NOSIGNAL reports a child
    // that stopped reading as an error instead of raising SIGPIPE.
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return fail(std::string("cannot create a pipe: ") + std::strerror(errno));
    const int rc = spawn(args, fds[0], log, &child);
    ::close(fds[0]);
    if (rc != 0) {
        ::close(fds[1]);
        child = -1;
        return fail(std::string("cannot run ffmpeg: ") + std::strerror(rc));
    }
    input = fds[1];
    return true;
}

bool FfmpegPipe::write(const void* data, std::size_t bytes)
{
    const char* p = static_cast<const char*>(data);
    while (bytes > 0 && input >= 0) {
        const ssize_t sent = ::send(input, p, bytes, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += sent;
        bytes -= static_cast<std::size_t>(sent);
    }
    return bytes == 0;
}

bool FfmpegPipe::finish(std::string* output)
{
    closeInput();
    if (child <= 0) {
        if (output)
            *output = "ffmpeg is not running";
        return false;
    }
    int status = 0;
    pid_t done;
    while ((done = waitpid(child, &status, 0)) < 0 && errno == EINTR) { }
    child = -1;
    std::string text = readLog();
    const bool ok = done > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!ok)
        text = exitText(status) + (text.empty() ? "" : ": " + text);
    if (output)
        *output = text;
    return ok;
}

bool FfmpegPipe::run(const std::vector<std::string>& args, std::string* output)
{
    FfmpegPipe pipe;
    std::string error;
    if (!pipe.start(args, &error)) {
        if (output)
            *output = error;
        return false;
    }
    return pipe.finish(output);
}

void FfmpegPipe::closeInput()
{
    if (input >= 0) {
        ::close(input);
        input = -1;
    }
}

std::string FfmpegPipe::readLog() const
{
    std::string text;
    if (log < 0 || lseek(log, 0, SEEK_SET) != 0)
        return text;
    char buffer[4096];
    ssize_t got;
    while (text.size() < kMaxLogBytes && (got = ::read(log, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

} // namespace testclips
