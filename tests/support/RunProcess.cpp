#include "RunProcess.h"

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

#include "TempFolder.h"

extern char** environ;

namespace
{

// The inherited environment with the extra entries ("NAME=value") in place of inherited ones of the
// same name: getenv takes the first it finds, so an extra entry after an inherited one would not count.
class Environment
{
public:
    explicit Environment(const std::vector<std::string>& extraEnv)
    {
        const auto overridden = [&](std::string_view entry) {
            const std::string_view name = entry.substr(0, entry.find('='));
            for (const std::string& extra : extraEnv) {
                if (extra.size() > name.size() && extra.compare(0, name.size(), name) == 0 &&
                    extra[name.size()] == '=') {
                    return true;
                }
            }
            return false;
        };
        for (char** e = environ; *e; ++e) {
            if (!overridden(*e)) {
                m_entries.emplace_back(*e);
            }
        }
        m_entries.insert(m_entries.end(), extraEnv.begin(), extraEnv.end());
        for (std::string& entry : m_entries) {
            m_pointers.push_back(entry.data());
        }
        m_pointers.push_back(nullptr);
    }

    char* const* Entries() { return m_pointers.data(); }

private:
    std::vector<std::string> m_entries;
    std::vector<char*> m_pointers;
};

} // namespace

ProcessResult RunProcess(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv)
{
    ProcessResult result;
    int outPipe[2];
    int errPipe[2];
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) {
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);

    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    Environment env(extraEnv);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.Entries());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (rc != 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        result.strErr = std::string("cannot start ") + argv[0] + ": " + std::strerror(rc);
        return result;
    }

    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.strOut, &result.strErr};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
                ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    sinks[i]->append(buffer, static_cast<size_t>(n));
                } else {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.nExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ProcessResult RunCli(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv)
{
    std::vector<std::string> full{TRAWLIX_CLI_PATH};
    full.insert(full.end(), args.begin(), args.end());
    // A job with a project file indexes its pages in the user's data folder: tests keep theirs apart,
    // in one folder per test program removed when it ends, unless the caller names one.
    static const std::string s_strData = [] {
        static TempFolder s_folder;
        return s_folder.path();
    }();
    std::vector<std::string> env{"XDG_DATA_HOME=" + s_strData};
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<std::string> unique;
    for (size_t i = 0; i < env.size(); ++i) {
        const std::string name = env[i].substr(0, env[i].find('='));
        bool bLater = false;
        for (size_t j = i + 1; j < env.size(); ++j) {
            bLater = bLater || env[j].compare(0, name.size() + 1, name + "=") == 0;
        }
        if (!bLater) {
            unique.push_back(env[i]);
        }
    }
    return RunProcess(full, unique);
}

pid_t StartCli(const std::vector<std::string>& args,
               const std::vector<std::string>& extraEnv,
               const std::string& logFile)
{
    std::vector<std::string> full{TRAWLIX_CLI_PATH};
    full.insert(full.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : full) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    Environment env(extraEnv);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.Entries());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

int WaitCli(pid_t pid)
{
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
