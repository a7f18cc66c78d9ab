#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include <curl/curl.h>

class CHttpSession;

// One HTTP(S) GET of a page into the caller's string, following redirects itself, run through the session's
// transfer queue. Used for one page (and its redirects) on one thread: Open, Fetch, Close.
class CHttpFetcher
{
public:
    // Results of FetchOnce and Fetch.
    static constexpr int kFetchOk = 0;         // status 200, body read whole
    static constexpr int kFetchFailed = 1;     // bad address, no connection, not resolved, not open
    static constexpr int kFetchRedirected = 3; // 301/302/303: the address now holds the target
    static constexpr int kFetchBadStatus = 4;  // any other status, or the response broke off or was too large

    static constexpr size_t kMaxBodySize = 64u << 20;
    // Fetch makes at most this many requests: two redirects are followed, a third ends with kFetchRedirected.
    static constexpr int kMaxRequests = 3;

    // pSession, when given, must outlive the fetcher; without one the fetcher keeps a session of its own.
    explicit CHttpFetcher(CHttpSession* pSession = nullptr);
    ~CHttpFetcher();
    CHttpFetcher(const CHttpFetcher&) = delete;
    CHttpFetcher& operator=(const CHttpFetcher&) = delete;

    int Open();
    // Nonzero when an open handle was released, 0 when none was open.
    int Close();
    // strUrl may be rewritten: "http://" put in front of an address without http:// or https://, or the
    // redirect target. On kFetchOk body holds the whole body and nLength == body.size(); otherwise both are
    // empty/0.
    int FetchOnce(std::string& strUrl, std::string& body, size_t& nLength);
    int Fetch(std::string& strUrl, std::string& body, size_t& nLength, int bFollow);

    // While *pCancel is true a transfer in progress is aborted (result 1 before a response, 4 after).
    void SetCancelFlag(const std::atomic<bool>* pCancel) { m_pCancel = pCancel; }
    // A transfer that receives nothing for this long fails. Default 30.
    void SetStallTimeout(int nSeconds) { m_nStallSeconds = nSeconds; }
    // Bodies larger than this (declared or actual) fail with kFetchBadStatus. Default kMaxBodySize.
    void SetMaxBodySize(size_t nBytes) { m_nMaxBodySize = nBytes; }
    // English detail of the last failure.
    const std::string& LastError() const { return m_strLastError; }

private:
    int Request(std::string& strUrl, std::string& body, size_t& nLength, int nMaxRequests);

    CHttpSession* m_pSession;
    std::unique_ptr<CHttpSession> m_pOwnSession;
    CURL* m_hInternet = nullptr;
    const std::atomic<bool>* m_pCancel = nullptr;
    int m_nStallSeconds = 30;
    size_t m_nMaxBodySize = kMaxBodySize;
    std::string m_strLastError;
};
