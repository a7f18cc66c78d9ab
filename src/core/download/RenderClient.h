#pragma once

#include <atomic>
#include <string>
#include <sys/types.h>
#include <vector>

// The off-screen browser a job asks for pages as scripts build them: the program trawlix-render,
// started once per job and spoken to over a pipe. It never shares the job's thread with anything: all
// calls come from the job's thread.
class CRenderClient
{
public:
    // A rendered page larger than this is refused.
    static constexpr std::size_t kMaxPageBytes = 64u << 20;
    // The limit in force: kMaxPageBytes, or a lower one from $TRAWLIX_RENDER_MAX_BYTES (for tests,
    // which cannot wait for a browser to build 64 MiB).
    static std::size_t MaxPageBytes();

    struct Result
    {
        enum class Status
        {
            Ok,        // rendered and settled
            Unsettled, // the network never went quiet: the page as it was at the time limit
            Failed,    // the browser could not load it
            TooLarge,  // larger than kMaxPageBytes
            Cancelled,
            Broken, // the program ended or stopped answering
        };
        Status status = Status::Broken;
        std::string strUrl; // where the page ended up
        std::string html;   // UTF-8, with a charset label
        std::vector<std::string> notes;
    };

    CRenderClient() = default;
    ~CRenderClient();
    CRenderClient(const CRenderClient&) = delete;
    CRenderClient& operator=(const CRenderClient&) = delete;

    // The program: $TRAWLIX_RENDER when set, else trawlix-render beside the running program. Empty when
    // there is none.
    static std::string ProgramPath();

    // Starts the program and waits until its browser is up. False, with the reason in English, when it
    // cannot be started.
    bool Start(const std::atomic<bool>* pCancel, std::string* pWhy);
    // A line of a Netscape cookie file, sent with the browser's requests from now on.
    void AddCookie(const std::string& strLine);
    // Renders one page, waiting at most nTimeoutMs for it to settle.
    Result Render(const std::string& strUrl, int nTimeoutMs, const std::atomic<bool>* pCancel);
    // Ends the program and everything it started.
    void Close();

private:
    bool send(const std::string& text);
    // Reads until a whole line is buffered; false when the program ended, the deadline passed or the
    // job was cancelled.
    bool readLine(std::string& line, long long nDeadlineMs, const std::atomic<bool>* pCancel);
    bool readBytes(std::size_t nCount, std::string* pInto, long long nDeadlineMs, const std::atomic<bool>* pCancel);
    bool fill(long long nDeadlineMs, const std::atomic<bool>* pCancel);

    pid_t m_pid = -1;
    int m_nIn = -1;  // the program's standard input
    int m_nOut = -1; // its standard output
    std::string m_buffer;
};
