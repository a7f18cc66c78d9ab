#include "ChildProcess.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

constexpr std::size_t kChunkSize = 1023;

class FileActions
{
public:
    FileActions() { m_bOk = ::posix_spawn_file_actions_init(&m_actions) == 0; }
    ~FileActions()
    {
        if (m_bOk) {
            ::posix_spawn_file_actions_destroy(&m_actions);
        }
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;

    posix_spawn_file_actions_t* get() { return &m_actions; }
    bool ok() const { return m_bOk; }

private:
    posix_spawn_file_actions_t m_actions{};
    bool m_bOk = false;
};

} // namespace

ChildProcessResult RunChildProcess(const std::vector<std::string>& argv,
                                   const std::string& strWorkFolder,
                                   const std::function<void(const std::string&)>& onOutput,
                                   const std::function<void()>& onStarted)
{
    ChildProcessResult result;
    auto report = [&](const char* text) {
        if (onOutput) {
            onOutput(text);
        }
    };

    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.m_code = ChildProcessResult::Code::CannotPipe;
        result.m_strError = std::string("cannot make a pipe: ") + std::strerror(errno);
        report(kCreatePipeError);
        return result;
    }

    int spawnError = EINVAL;
    pid_t pid = -1;
    if (!argv.empty()) {
        FileActions actions;
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        // dup2 clears close-on-exec on the copies, so the child keeps only these three.
        bool ok = actions.ok() && ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0) == 0 &&
                  ::posix_spawn_file_actions_adddup2(actions.get(), fds[1], 1) == 0 &&
                  ::posix_spawn_file_actions_adddup2(actions.get(), fds[1], 2) == 0 &&
                  (strWorkFolder.empty() ||
                   ::posix_spawn_file_actions_addchdir_np(actions.get(), strWorkFolder.c_str()) == 0);
        spawnError = ok ? ::posix_spawnp(&pid, args[0], actions.get(), nullptr, args.data(), environ) : errno;
    }
    // Our copy of the write end must go, or the read end would never report the end of the output.
    ::close(fds[1]);
    if (spawnError != 0) {
        ::close(fds[0]);
        result.m_code = ChildProcessResult::Code::CannotStart;
        result.m_strError =
            "cannot start " + (argv.empty() ? std::string("(nothing)") : argv[0]) + ": " + std::strerror(spawnError);
        report(kCreateProcessError);
        return result;
    }

    if (onStarted) {
        onStarted();
    }
    char buffer[kChunkSize];
    for (;;) {
        ssize_t n = ::read(fds[0], buffer, kChunkSize);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        if (onOutput) {
            onOutput(std::string(buffer, static_cast<std::size_t>(n)));
        }
    }
    ::close(fds[0]);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            result.m_code = ChildProcessResult::Code::Exited;
            result.m_strError = std::string("cannot wait for the program: ") + std::strerror(errno);
            return result;
        }
    }
    if (WIFSIGNALED(status)) {
        result.m_code = ChildProcessResult::Code::Signalled;
        result.m_nExitStatus = WTERMSIG(status);
    } else {
        result.m_code = ChildProcessResult::Code::Exited;
        result.m_nExitStatus = WEXITSTATUS(status);
    }
    return result;
}
