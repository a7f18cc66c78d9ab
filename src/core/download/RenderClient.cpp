#include "RenderClient.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/Files.h"

extern char** environ;

namespace
{

long long nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool cancelled(const std::atomic<bool>* pCancel)
{
    return pCancel && pCancel->load();
}

// The browser takes a while to come up on a busy machine.
constexpr long long kStartMs = 60000;
// Past the page's own time limit, the program is given this long to write the page.
constexpr long long kGraceMs = 30000;

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t from = 0;
    for (;;) {
        size_t tab = line.find('\t', from);
        fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
        if (tab == std::string::npos) {
            return fields;
        }
        from = tab + 1;
    }
}

} // namespace

CRenderClient::~CRenderClient()
{
    Close();
}

std::string CRenderClient::ProgramPath()
{
    if (const char* env = std::getenv("TRAWLIX_RENDER"); env && *env) {
        return files::IsRegularFile(env) && ::access(env, X_OK) == 0 ? std::string(env) : std::string();
    }
    const std::string path = files::Join(files::ProgramFolder(), "trawlix-render");
    return files::IsRegularFile(path) && ::access(path.c_str(), X_OK) == 0 ? path : std::string();
}

std::size_t CRenderClient::MaxPageBytes()
{
    if (const char* env = std::getenv("TRAWLIX_RENDER_MAX_BYTES"); env && *env) {
        const unsigned long long n = std::strtoull(env, nullptr, 10);
        if (n > 0 && n < kMaxPageBytes) {
            return static_cast<std::size_t>(n);
        }
    }
    return kMaxPageBytes;
}

bool CRenderClient::Start(const std::atomic<bool>* pCancel, std::string* pWhy)
{
    const std::string program = ProgramPath();
    if (program.empty()) {
        if (pWhy) {
            *pWhy = "the page renderer trawlix-render was not found beside the program";
        }
        return false;
    }
    int toChild[2] = {-1, -1};
    int fromChild[2] = {-1, -1};
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) {
        if (pWhy) {
            *pWhy = std::string("cannot make a pipe: ") + std::strerror(errno);
        }
        for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attr);
    ::posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    ::posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    // The browser's own chatter is of no use to the job.
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // A group of its own, so that the browser's helper processes end with it.
    ::posix_spawnattr_setpgroup(&attr, 0);
    // The job's program may hold signals for a thread of its own; the renderer starts with none held.
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attr, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    ::posix_spawnattr_setsigdefault(&attr, &defaults);
    ::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> args{const_cast<char*>(program.c_str()), nullptr};
    const int nError = ::posix_spawn(&m_pid, program.c_str(), &actions, &attr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attr);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    m_nIn = toChild[1];
    m_nOut = fromChild[0];
    if (nError != 0) {
        m_pid = -1;
        Close();
        if (pWhy) {
            *pWhy = "cannot start " + program + ": " + std::strerror(nError);
        }
        return false;
    }
    std::string line;
    const long long nDeadline = nowMs() + kStartMs;
    while (readLine(line, nDeadline, pCancel)) {
        if (line == "READY") {
            // The browser refuses a larger page itself, rather than send it only to be dropped.
            if (send("LIMIT\t" + std::to_string(MaxPageBytes()) + "\n")) {
                return true;
            }
            break;
        }
    }
    Close();
    if (pWhy) {
        *pWhy = cancelled(pCancel) ? "cancelled" : "the page renderer did not start";
    }
    return false;
}

void CRenderClient::AddCookie(const std::string& strLine)
{
    if (!strLine.empty() && strLine.find('\n') == std::string::npos) {
        send("COOKIE\t" + strLine + "\n");
    }
}

CRenderClient::Result CRenderClient::Render(const std::string& strUrl, int nTimeoutMs, const std::atomic<bool>* pCancel)
{
    Result result;
    result.strUrl = strUrl;
    if (strUrl.find_first_of("\t\r\n") != std::string::npos ||
        !send("RENDER\t" + std::to_string(nTimeoutMs) + "\t" + strUrl + "\n")) {
        return result;
    }
    const long long nDeadline = nowMs() + nTimeoutMs + kGraceMs;
    std::string line;
    while (readLine(line, nDeadline, pCancel)) {
        std::vector<std::string> fields = splitTabs(line);
        if (fields[0] == "NOTE" && fields.size() >= 2) {
            result.notes.push_back(line.substr(5));
            continue;
        }
        if (fields[0] != "DONE" || fields.size() < 4) {
            continue;
        }
        const std::size_t nBytes = std::strtoull(fields[2].c_str(), nullptr, 10);
        if (!fields[3].empty()) {
            result.strUrl = fields[3];
        }
        const bool bTooLarge = nBytes > MaxPageBytes() || fields[1] == "toolarge";
        if (!readBytes(nBytes, bTooLarge ? nullptr : &result.html, nDeadline, pCancel)) {
            break;
        }
        result.status = bTooLarge                  ? Result::Status::TooLarge
                        : fields[1] == "ok"        ? Result::Status::Ok
                        : fields[1] == "unsettled" ? Result::Status::Unsettled
                                                   : Result::Status::Failed;
        return result;
    }
    result.html.clear();
    result.status = cancelled(pCancel) ? Result::Status::Cancelled : Result::Status::Broken;
    // A program that stopped answering mid-page is of no further use.
    Close();
    return result;
}

void CRenderClient::Close()
{
    if (m_nIn >= 0) {
        // Its input ends: it closes its browser and exits.
        ::close(m_nIn);
        m_nIn = -1;
    }
    if (m_pid > 0) {
        const long long nDeadline = nowMs() + 3000;
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (nowMs() >= nDeadline) {
                ::kill(-m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        // Whatever the browser started and left behind goes too.
        ::kill(-m_pid, SIGKILL);
        m_pid = -1;
    }
    if (m_nOut >= 0) {
        ::close(m_nOut);
        m_nOut = -1;
    }
    m_buffer.clear();
}

bool CRenderClient::send(const std::string& text)
{
    if (m_nIn < 0) {
        return false;
    }
    // A program that died must not take the job down with SIGPIPE: the signal is held off around the
    // write, and one it raised is taken before it is let through again.
    sigset_t pipeSignal;
    sigset_t old;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
    bool bOk = true;
    std::size_t nDone = 0;
    while (nDone < text.size()) {
        const ssize_t n = ::write(m_nIn, text.data() + nDone, text.size() - nDone);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            bOk = false;
            break;
        }
        nDone += static_cast<std::size_t>(n);
    }
    if (!bOk) {
        const timespec none{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return bOk;
}

bool CRenderClient::fill(long long nDeadlineMs, const std::atomic<bool>* pCancel)
{
    while (m_nOut >= 0) {
        if (cancelled(pCancel) || nowMs() >= nDeadlineMs) {
            return false;
        }
        pollfd fd{m_nOut, POLLIN, 0};
        const int n = ::poll(&fd, 1, 100);
        if (n < 0 && errno != EINTR) {
            return false;
        }
        if (n <= 0) {
            continue;
        }
        char chunk[65536];
        const ssize_t nRead = ::read(m_nOut, chunk, sizeof chunk);
        if (nRead < 0 && errno == EINTR) {
            continue;
        }
        if (nRead <= 0) {
            return false;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(nRead));
        return true;
    }
    return false;
}

bool CRenderClient::readLine(std::string& line, long long nDeadlineMs, const std::atomic<bool>* pCancel)
{
    for (;;) {
        const auto end = m_buffer.find('\n');
        if (end != std::string::npos) {
            line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            return true;
        }
        if (!fill(nDeadlineMs, pCancel)) {
            return false;
        }
    }
}

bool CRenderClient::readBytes(std::size_t nCount,
                              std::string* pInto,
                              long long nDeadlineMs,
                              const std::atomic<bool>* pCancel)
{
    while (nCount > 0) {
        if (m_buffer.empty() && !fill(nDeadlineMs, pCancel)) {
            return false;
        }
        const std::size_t nTake = std::min(nCount, m_buffer.size());
        if (pInto) {
            pInto->append(m_buffer, 0, nTake);
        }
        m_buffer.erase(0, nTake);
        nCount -= nTake;
    }
    return true;
}
