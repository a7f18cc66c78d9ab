#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <curl/curl.h>

class CHttpSession;

// How one transfer ended.
struct TransferResult
{
    // Page: 0 status 200 and the whole body, 1 no usable answer (bad address, no connection, cancelled
    // before an answer), 3 redirected once too often (strUrl holds the target), 4 any other status or a
    // broken or too large body. File: 0 the temporary file holds the whole body, 1 otherwise.
    int nResult = 1;
    // Page: the address as last requested ("http://" put in front, redirect targets followed).
    std::string strUrl;
    std::string body;    // page
    std::string strFile; // file: the temporary file; the caller renames or removes it
    long nStatus = 0;
    std::string strWhy; // English reason of a failure
    // The validators of the last answer, empty when it sent none: what a later request can ask with
    // (If-None-Match, If-Modified-Since) to be answered 304 when nothing changed.
    std::string strETag;
    std::string strLastModified;
};

// One request for the job's transfer queue.
struct TransferRequest
{
    enum class Kind
    {
        Page, // body into memory; redirects followed by hand, a relative Location against the host root
        File  // body into a temporary file; redirects followed (at most ten), error answers never saved
    };
    Kind kind = Kind::Page;
    std::string strUrl;
    // Further request headers, "Name: value" (a Referer, cookies).
    std::vector<std::string> headers;
    // Page: requests made at most; redirects are followed between them, so 1 follows none.
    int nMaxRequests = 3;
    // File: the temporary file is made in this folder (keep it on the target's file system) from this name.
    std::string strTempFolder;
    std::string strTempName;
    // Bodies larger than this fail (declared or as they arrive).
    std::uint64_t nMaxBytes = std::uint64_t{64} << 20;
    // A transfer that receives nothing for this long fails.
    int nStallSeconds = 30;
    // While *pCancel is true the transfer is ended at once (result 1 before an answer, 4 after for pages).
    const std::atomic<bool>* pCancel = nullptr;
    // The caller's label for AbandonGroupsAbove (the download job: the page's index).
    int nGroup = 0;
    // Started before the requests waiting without this flag (a page body, which brings more work).
    bool bAhead = false;
    // A handle of the caller's to carry the transfer (reset first); null: the queue makes one.
    CURL* pEasy = nullptr;
    // Called on the thread running Poll, once, unless the request is abandoned. It may add requests.
    std::function<void(TransferResult&)> onDone;
};

// The transfers of one download job, run together on the session's multi handle: up to nTotal at once,
// at most nPerHost to one host, in the order they were added as far as those limits allow. A server
// answering 429 or 503 with a Retry-After of at most a minute is left alone for that long and asked once
// more. Used by one thread; nothing happens outside Poll and Run.
class CTransferQueue
{
public:
    explicit CTransferQueue(CHttpSession& session);
    // Abandons whatever is left.
    ~CTransferQueue();
    CTransferQueue(const CTransferQueue&) = delete;
    CTransferQueue& operator=(const CTransferQueue&) = delete;

    // nHostPauseMs > 0 puts that pause between the end of one request to a host and the start of the
    // next, one request at a time: redirects and second tries included, and after EndWaits too.
    void SetLimits(int nTotal, int nPerHost, int nHostPauseMs);
    int TotalLimit() const { return m_nTotal; }

    std::uint64_t Add(TransferRequest request);
    // Drops every request of a group above nGroup, running or not, without calling its onDone; their
    // temporary files are removed.
    void AbandonGroupsAbove(int nGroup);
    // From now on nobody is waited for: a request waiting to be asked again ends with the answer it had.
    void EndWaits();

    // Moves the transfers on for at most about nMaxWaitMs and calls onDone of those that ended.
    void Poll(int nMaxWaitMs);
    bool Empty() const { return m_pending.empty() && m_active.empty() && m_finished.empty(); }
    // Requests added and not started yet.
    size_t Waiting() const { return m_pending.size(); }
    // Adds the request and polls until it has ended (other requests move on meanwhile); onDone is ignored.
    TransferResult Run(TransferRequest request);

private:
    using Clock = std::chrono::steady_clock;
    struct Item;
    struct Host
    {
        int nActive = 0;
        Clock::time_point notBefore{};  // a Retry-After the server asked for
        Clock::time_point pauseUntil{}; // the pause after its last request; a stop does not cut it short
    };

    void Admit(Clock::time_point now);
    bool Start(Item& item);
    void Finish(Item& item, CURLcode rc);
    void Complete(std::unique_ptr<Item> pItem);
    void Release(Item& item);
    void EndActive(Item* pItem, CURLcode rc);
    void CheckActive();
    static size_t OnBody(char* pData, size_t nSize, size_t nCount, void* pUser);

    CHttpSession& m_session;
    CURLM* m_pMulti;
    int m_nTotal = 8;
    int m_nPerHost = 4;
    int m_nHostPauseMs = 0;
    bool m_bEndWaits = false;
    std::uint64_t m_nNextId = 1;
    std::list<std::unique_ptr<Item>> m_pending;
    std::list<std::unique_ptr<Item>> m_active;
    std::list<std::unique_ptr<Item>> m_finished; // ended, onDone not called yet
    std::map<std::string, Host> m_hosts;
};
