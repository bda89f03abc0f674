#include "tools/ToolProcess.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vektest {
namespace {

void Drain(int fd, std::string& into, bool& open)
{
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0)
        into.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || (errno != EINTR && errno != EAGAIN))
        open = false;
}

} // namespace

std::string ToolPath(const std::string& name)
{
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    const std::filesystem::path top = self.parent_path().parent_path();
    if (std::filesystem::exists(top / name))
        return (top / name).string();
    return (top / "tools" / name / name).string();
}

ToolRun RunTool(const std::string& path, const std::vector<std::string>& args, const std::vector<std::string>& env,
                LateSignal late)
{
    ToolRun run;
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0)
        return run;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return run;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        for (const std::string& entry : env) {
            const size_t equals = entry.find('=');
            const std::string name = entry.substr(0, equals);
            if (equals + 1 == entry.size())
                ::unsetenv(name.c_str());
            else
                ::setenv(name.c_str(), entry.substr(equals + 1).c_str(), 1);
        }
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    bool outOpen = pid > 0;
    bool errOpen = pid > 0;
    const auto signalAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(late.afterMs);
    bool signalDue = late.signal != 0 && pid > 0;
    while (outOpen || errOpen) {
        int wait = -1;
        if (signalDue) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(signalAt - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                ::kill(pid, late.signal);
                signalDue = false;
            } else {
                wait = static_cast<int>(left.count());
            }
        }
        pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0}, {errOpen ? errPipe[0] : -1, POLLIN, 0}};
        if (::poll(fds, 2, wait) < 0 && errno != EINTR)
            break;
        if (fds[0].revents != 0)
            Drain(outPipe[0], run.out, outOpen);
        if (fds[1].revents != 0)
            Drain(errPipe[0], run.err, errOpen);
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid)
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

} // namespace vektest
