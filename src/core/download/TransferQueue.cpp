#include "TransferQueue.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>

#include "AsciiText.h"
#include "HttpSession.h"
#include "platform/Files.h"

namespace
{

// Body bytes of a non-200 page answer that are read (and dropped) so the connection can serve the next one.
constexpr size_t kMaxSkippedBody = 64 * 1024;
constexpr long kMaxFileRedirects = 10;
// A Retry-After longer than this is not waited for: the request fails with the answer it had.
constexpr long kMaxRetryAfterSeconds = 60;
constexpr int kStepMs = 100;

std::string UrlPart(CURLU* pUrl, CURLUPart part)
{
    char* pText = nullptr;
    if (curl_url_get(pUrl, part, &pText, 0) != CURLUE_OK || !pText) {
        return std::string();
    }
    std::string s(pText);
    curl_free(pText);
    return s;
}

struct UrlHandle
{
    CURLU* p = curl_url();
    ~UrlHandle() { curl_url_cleanup(p); }
    UrlHandle() = default;
    UrlHandle(const UrlHandle&) = delete;
    UrlHandle& operator=(const UrlHandle&) = delete;
    // Split without decoding or encoding anything.
    bool Set(const std::string& strUrl, unsigned int nFlags = 0) const
    {
        return p && curl_url_set(p, CURLUPART_URL, strUrl.c_str(), nFlags) == CURLUE_OK;
    }
};

// A Location that names no host is taken from the root of the requested host, not from the requested
// folder: "y.html" becomes origin + "/y.html". The requested scheme and port are kept.
std::string RedirectTarget(const std::string& strOrigin, const std::string& strScheme, const std::string& strLocation)
{
    UrlHandle location;
    if (location.Set(strLocation, CURLU_NON_SUPPORT_SCHEME) && !UrlPart(location.p, CURLUPART_HOST).empty()) {
        return strLocation;
    }
    if (strLocation.rfind("//", 0) == 0) {
        return strScheme + ":" + strLocation;
    }
    return strOrigin + (strLocation.rfind('/', 0) == 0 ? "" : "/") + strLocation;
}

// Lower case, or empty when the address cannot be split.
std::string HostOf(const std::string& strUrl)
{
    UrlHandle url;
    return url.Set(CHttpSession::RequestAddress(strUrl)) ? ascii::ToLower(UrlPart(url.p, CURLUPART_HOST))
                                                         : std::string();
}

bool HasHeader(CURL* pEasy, const char* pName)
{
    curl_header* pHeader = nullptr;
    return curl_easy_header(pEasy, pName, 0, CURLH_HEADER, -1, &pHeader) == CURLHE_OK && pHeader;
}

// The value of the last answer's header, empty when it has none.
std::string HeaderValue(CURL* pEasy, const char* pName)
{
    curl_header* pHeader = nullptr;
    if (curl_easy_header(pEasy, pName, 0, CURLH_HEADER, -1, &pHeader) != CURLHE_OK || !pHeader || !pHeader->value) {
        return std::string();
    }
    return pHeader->value;
}

} // namespace

struct CTransferQueue::Item
{
    std::uint64_t nId = 0;
    TransferRequest req;
    TransferResult result;
    std::string strHost; // lower case; the key of the per-host limits
    std::string strRequest;
    // File: the redirect target the next request goes to. Redirects are followed here, not by libcurl, so
    // each request passes the per-host limits and pause (and the answer keeps the address asked for).
    std::string strNext;
    std::string strOrigin;
    std::string strScheme;
    Clock::time_point notBefore{};
    int nRequests = 0;
    bool bRetried = false;
    bool bAskAgain = false; // set by Finish: a redirect to follow or a second try after Retry-After
    bool bCounted = false;  // counted as active for its host

    CURL* pEasy = nullptr;
    bool bOwnEasy = false;
    curl_slist* pHeaders = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};

    // The answer as it arrives.
    bool bStarted = false;
    long nStatus = 0;
    curl_off_t nDeclared = -1;
    bool bEncoded = false;
    size_t nSkipped = 0;
    bool bSkipCut = false;
    std::string strTooLarge;
    FILE* pFile = nullptr;
    std::uint64_t nWritten = 0;
    bool bWriteFailed = false;
    int nWriteErrno = 0;

    curl_off_t nLastReceived = -1;
    Clock::time_point lastProgress{};
};

CTransferQueue::CTransferQueue(CHttpSession& session)
    : m_session(session)
    , m_pMulti(session.Multi())
{
    SetLimits(m_nTotal, m_nPerHost, 0);
}

CTransferQueue::~CTransferQueue()
{
    AbandonGroupsAbove(-1);
    for (auto& pItem : m_pending) {
        Release(*pItem);
    }
    for (auto& pItem : m_finished) {
        if (!pItem->result.strFile.empty()) {
            std::remove(pItem->result.strFile.c_str());
        }
    }
}

void CTransferQueue::SetLimits(int nTotal, int nPerHost, int nHostPauseMs)
{
    m_nTotal = std::max(1, nTotal);
    m_nPerHost = std::clamp(nPerHost, 1, m_nTotal);
    m_nHostPauseMs = std::max(0, nHostPauseMs);
    if (m_nHostPauseMs > 0) {
        m_nPerHost = 1;
    }
    if (m_pMulti) {
        curl_multi_setopt(m_pMulti, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(m_nPerHost));
        curl_multi_setopt(m_pMulti, CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(m_nTotal));
        curl_multi_setopt(m_pMulti, CURLMOPT_PIPELINING, static_cast<long>(CURLPIPE_MULTIPLEX));
    }
}

std::uint64_t CTransferQueue::Add(TransferRequest request)
{
    auto pItem = std::make_unique<Item>();
    Item& item = *pItem;
    item.nId = m_nNextId++;
    item.req = std::move(request);
    if (item.req.kind == TransferRequest::Kind::Page && !ascii::StartsWithNoCase(item.req.strUrl, "http://") &&
        !ascii::StartsWithNoCase(item.req.strUrl, "https://")) {
        // The address keeps its letter case; only the scheme test ignores it.
        item.req.strUrl = "http://" + item.req.strUrl;
    }
    item.result.strUrl = item.req.strUrl;
    item.strHost = HostOf(item.req.strUrl);
    const std::uint64_t nId = item.nId;
    auto at = m_pending.end();
    if (item.req.bAhead) {
        at = std::find_if(m_pending.begin(), m_pending.end(), [](const auto& p) { return !p->req.bAhead; });
    }
    m_pending.insert(at, std::move(pItem));
    return nId;
}

void CTransferQueue::AbandonGroupsAbove(int nGroup)
{
    auto drop = [this, nGroup](std::list<std::unique_ptr<Item>>& items) {
        for (auto it = items.begin(); it != items.end();) {
            if ((*it)->req.nGroup > nGroup) {
                Release(**it);
                if (!(*it)->result.strFile.empty()) {
                    std::remove((*it)->result.strFile.c_str());
                }
                it = items.erase(it);
            } else {
                ++it;
            }
        }
    };
    drop(m_pending);
    drop(m_active);
    drop(m_finished);
}

void CTransferQueue::EndWaits()
{
    m_bEndWaits = true;
    const Clock::time_point now = Clock::now();
    // Only the waits a server asked for end: the pause between requests to a host still holds.
    for (auto& [strHost, host] : m_hosts) {
        host.notBefore = std::min(host.notBefore, now);
    }
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if ((*it)->bRetried && (*it)->notBefore > now) {
            // Waiting for its second try: it ends with the answer it had.
            auto pItem = std::move(*it);
            it = m_pending.erase(it);
            Complete(std::move(pItem));
        } else {
            ++it;
        }
    }
}

TransferResult CTransferQueue::Run(TransferRequest request)
{
    bool bDone = false;
    TransferResult out;
    request.onDone = [&bDone, &out](TransferResult& result) {
        out = std::move(result);
        bDone = true;
    };
    Add(std::move(request));
    while (!bDone) {
        Poll(kStepMs);
    }
    return out;
}

void CTransferQueue::Release(Item& item)
{
    if (item.pEasy) {
        if (item.bCounted) {
            curl_multi_remove_handle(m_pMulti, item.pEasy);
        }
        if (item.bOwnEasy) {
            curl_easy_cleanup(item.pEasy);
        } else {
            curl_easy_setopt(item.pEasy, CURLOPT_ERRORBUFFER, nullptr);
            curl_easy_setopt(item.pEasy, CURLOPT_HTTPHEADER, nullptr);
        }
        item.pEasy = nullptr;
    }
    if (item.bCounted) {
        Host& host = m_hosts[item.strHost];
        host.nActive = std::max(0, host.nActive - 1);
        if (m_nHostPauseMs > 0) {
            host.pauseUntil = Clock::now() + std::chrono::milliseconds(m_nHostPauseMs);
        }
        item.bCounted = false;
    }
    curl_slist_free_all(item.pHeaders);
    item.pHeaders = nullptr;
    if (item.pFile) {
        std::fclose(item.pFile);
        item.pFile = nullptr;
        std::remove(item.result.strFile.c_str());
        item.result.strFile.clear();
    }
    // A redirect may lead to another host.
    item.strHost = HostOf(item.strNext.empty() ? item.result.strUrl : item.strNext);
}

void CTransferQueue::Complete(std::unique_ptr<Item> pItem)
{
    Release(*pItem);
    m_finished.push_back(std::move(pItem));
}

// Prepares the item's handle and hands it to the multi handle. False when it ended at once (its result
// is set then).
bool CTransferQueue::Start(Item& item)
{
    const bool bPage = item.req.kind == TransferRequest::Kind::Page;
    TransferResult& r = item.result;
    item.strRequest = CHttpSession::RequestAddress(item.strNext.empty() ? r.strUrl : item.strNext);
    UrlHandle url;
    const std::string strHost = url.Set(item.strRequest) ? UrlPart(url.p, CURLUPART_HOST) : std::string();
    if (strHost.empty()) {
        r.nResult = 1;
        r.strWhy = bPage ? "cannot split the address " + r.strUrl : r.strUrl + ": cannot split the address";
        return false;
    }
    item.strScheme = UrlPart(url.p, CURLUPART_SCHEME);
    const std::string strPort = UrlPart(url.p, CURLUPART_PORT);
    item.strOrigin = item.strScheme + "://" + strHost + (strPort.empty() ? "" : ":" + strPort);

    if (!bPage && !item.pFile) {
        const std::string strName = item.req.strTempName.empty() ? std::string("download") : item.req.strTempName;
        // Created with the user's umask like the pages, not mkstemp's owner-only mode.
        std::string strTemp;
        const int fd = files::CreateTempBeside(files::Join(item.req.strTempFolder, strName), strTemp);
        if (fd < 0) {
            r.nResult = 1;
            r.strWhy = r.strUrl + ": cannot create a file in " + item.req.strTempFolder + ": " + std::strerror(errno);
            return false;
        }
        item.pFile = fdopen(fd, "wb");
        if (!item.pFile) {
            ::close(fd);
            std::remove(strTemp.c_str());
            r.nResult = 1;
            r.strWhy = r.strUrl + ": cannot write " + strTemp;
            return false;
        }
        r.strFile = strTemp;
    }

    if (item.req.pEasy) {
        item.pEasy = item.req.pEasy;
        item.bOwnEasy = false;
        curl_easy_reset(item.pEasy);
    } else {
        item.pEasy = curl_easy_init();
        item.bOwnEasy = true;
    }
    if (!item.pEasy) {
        r.nResult = 1;
        r.strWhy = "cannot create an HTTP handle";
        return false;
    }
    item.bStarted = false;
    item.nStatus = 0;
    item.nDeclared = -1;
    item.bEncoded = false;
    item.nSkipped = 0;
    item.bSkipCut = false;
    item.strTooLarge.clear();
    item.nWritten = 0;
    item.bWriteFailed = false;
    item.errorText[0] = '\0';
    r.body.clear();

    CURL* pEasy = item.pEasy;
    m_session.ApplyCommonOptions(pEasy, item.req.nStallSeconds);
    if (!item.req.headers.empty()) {
        for (const curl_slist* p = m_session.CommonHeaders(); p; p = p->next) {
            item.pHeaders = curl_slist_append(item.pHeaders, p->data);
        }
        for (const std::string& strHeader : item.req.headers) {
            item.pHeaders = curl_slist_append(item.pHeaders, strHeader.c_str());
        }
        curl_easy_setopt(pEasy, CURLOPT_HTTPHEADER, item.pHeaders);
    }
    curl_easy_setopt(pEasy, CURLOPT_URL, item.strRequest.c_str());
    curl_easy_setopt(pEasy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(pEasy, CURLOPT_WRITEFUNCTION, &CTransferQueue::OnBody);
    curl_easy_setopt(pEasy, CURLOPT_WRITEDATA, &item);
    curl_easy_setopt(pEasy, CURLOPT_ERRORBUFFER, item.errorText);
    curl_easy_setopt(pEasy, CURLOPT_PRIVATE, &item);
    if (bPage) {
        curl_easy_setopt(pEasy, CURLOPT_FOLLOWLOCATION, 0L);
    } else {
        curl_easy_setopt(pEasy, CURLOPT_FOLLOWLOCATION, 0L);
        // An error page is never saved as the resource.
        curl_easy_setopt(pEasy, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(pEasy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(item.req.nMaxBytes));
    }
    if (curl_multi_add_handle(m_pMulti, pEasy) != CURLM_OK) {
        r.nResult = 1;
        r.strWhy = "cannot start the transfer";
        return false;
    }
    item.strHost = ascii::ToLower(strHost);
    item.bCounted = true;
    ++m_hosts[item.strHost].nActive;
    ++item.nRequests;
    item.nLastReceived = -1;
    item.lastProgress = Clock::now();
    return true;
}

size_t CTransferQueue::OnBody(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    Item& t = *static_cast<Item*>(pUser);
    const size_t nBytes = nSize * nCount;
    if (t.req.kind == TransferRequest::Kind::File) {
        if (!t.bStarted) {
            t.bStarted = true;
            curl_easy_getinfo(t.pEasy, CURLINFO_RESPONSE_CODE, &t.nStatus);
        }
        if (t.nStatus >= 300 && t.nStatus <= 399) {
            // A redirect's own body is not the file.
            t.nSkipped += nBytes;
            if (t.nSkipped > kMaxSkippedBody) {
                t.bSkipCut = true;
                return 0;
            }
            return nBytes;
        }
        t.nWritten += nBytes;
        if (t.nWritten > t.req.nMaxBytes) {
            t.strTooLarge = "larger than " + std::to_string(t.req.nMaxBytes) + " bytes";
            return 0;
        }
        if (std::fwrite(pData, 1, nBytes, t.pFile) != nBytes) {
            t.bWriteFailed = true;
            t.nWriteErrno = errno;
            return 0;
        }
        return nBytes;
    }

    std::string& body = t.result.body;
    if (!t.bStarted) {
        t.bStarted = true;
        curl_easy_getinfo(t.pEasy, CURLINFO_RESPONSE_CODE, &t.nStatus);
        curl_easy_getinfo(t.pEasy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &t.nDeclared);
        // A compressed body arrives decoded: longer than its declared length.
        t.bEncoded = HasHeader(t.pEasy, "Content-Encoding");
        if (t.nStatus == 200) {
            if (t.nDeclared > 0 && static_cast<unsigned long long>(t.nDeclared) > t.req.nMaxBytes) {
                t.strTooLarge = "the page declares " + std::to_string(t.nDeclared) + " bytes, more than the limit of " +
                                std::to_string(t.req.nMaxBytes);
                return 0;
            }
            // The buffer grows with the body; a declared length is taken at its word once.
            if (t.nDeclared > 0) {
                body.reserve(static_cast<size_t>(t.nDeclared));
            }
        }
    }
    if (t.nStatus != 200) {
        t.nSkipped += nBytes;
        if (t.nSkipped > kMaxSkippedBody) {
            t.bSkipCut = true;
            return 0;
        }
        return nBytes;
    }
    size_t nTake = nBytes;
    if (t.nDeclared > 0 && !t.bEncoded) {
        nTake =
            std::min(nTake, static_cast<size_t>(t.nDeclared) - std::min(body.size(), static_cast<size_t>(t.nDeclared)));
    }
    if (body.size() + nTake > t.req.nMaxBytes) {
        t.strTooLarge = "the page is larger than the limit of " + std::to_string(t.req.nMaxBytes) + " bytes";
        return 0;
    }
    body.append(pData, nTake);
    return nBytes;
}

// The transfer's last request has ended with rc: the item ends, or waits for its next request.
void CTransferQueue::Finish(Item& item, CURLcode rc)
{
    const bool bPage = item.req.kind == TransferRequest::Kind::Page;
    TransferResult& r = item.result;
    CURL* pEasy = item.pEasy;
    long nStatus = 0;
    curl_easy_getinfo(pEasy, CURLINFO_RESPONSE_CODE, &nStatus);
    r.nStatus = nStatus;
    r.strETag = HeaderValue(pEasy, "ETag");
    r.strLastModified = HeaderValue(pEasy, "Last-Modified");
    const std::string strError = item.errorText;

    // A busy server that says when to come back is waited for once, unless the job is ending.
    if ((nStatus == 429 || nStatus == 503) && !item.bRetried && !m_bEndWaits && HasHeader(pEasy, "Retry-After")) {
        curl_off_t nSeconds = 0;
        curl_easy_getinfo(pEasy, CURLINFO_RETRY_AFTER, &nSeconds);
        if (nSeconds >= 0 && nSeconds <= kMaxRetryAfterSeconds) {
            item.bRetried = true;
            item.bAskAgain = true;
            item.notBefore = Clock::now() + std::chrono::seconds(nSeconds);
            Host& host = m_hosts[item.strHost];
            host.notBefore = std::max(host.notBefore, item.notBefore);
            // What it ends with if the wait is cut short.
            r.strWhy = (bPage ? "" : r.strUrl + ": ") + "HTTP status " + std::to_string(nStatus);
            r.nResult = bPage ? 4 : 1;
            r.body.clear();
            --item.nRequests; // the second try repeats the same request
            return;
        }
    }

    if (bPage) {
        r.nResult = 0;
        if (!item.strTooLarge.empty()) {
            r.strWhy = item.strTooLarge;
            r.nResult = 4;
        } else if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && item.bSkipCut)) {
            if (rc == CURLE_ABORTED_BY_CALLBACK) {
                r.strWhy = "cancelled";
            } else if (rc == CURLE_OPERATION_TIMEDOUT && strError.empty()) {
                r.strWhy = "nothing arrived for " + std::to_string(item.req.nStallSeconds) + " seconds";
            } else {
                r.strWhy = strError.empty() ? curl_easy_strerror(rc) : strError;
            }
            r.nResult = nStatus == 0 ? 1 : 4;
        } else if (nStatus == 301 || nStatus == 302 || nStatus == 303) {
            curl_header* pLocation = nullptr;
            if (curl_easy_header(pEasy, "Location", 0, CURLH_HEADER, -1, &pLocation) != CURLHE_OK || !pLocation) {
                r.strWhy = "redirect (HTTP status " + std::to_string(nStatus) + ") without a Location";
                r.nResult = 4;
            } else {
                r.strUrl = RedirectTarget(item.strOrigin, item.strScheme, pLocation->value);
                if (item.nRequests < item.req.nMaxRequests) {
                    item.bAskAgain = true;
                    r.nResult = 1;
                } else {
                    r.strWhy = item.req.nMaxRequests > 1 ? "too many redirects, the last to " + r.strUrl
                                                         : "redirected to " + r.strUrl;
                    r.nResult = 3;
                }
            }
        } else if (nStatus != 200) {
            r.strWhy = "HTTP status " + std::to_string(nStatus);
            r.nResult = 4;
        }
        if (r.nResult != 0) {
            r.body.clear();
        } else {
            r.strWhy.clear();
        }
        return;
    }

    std::string strWhy;
    const bool bRedirect = nStatus == 301 || nStatus == 302 || nStatus == 303 || nStatus == 307 || nStatus == 308;
    if (bRedirect && (rc == CURLE_OK || (rc == CURLE_WRITE_ERROR && item.bSkipCut))) {
        char* pTarget = nullptr;
        curl_easy_getinfo(pEasy, CURLINFO_REDIRECT_URL, &pTarget);
        if (pTarget && item.nRequests <= kMaxFileRedirects) {
            item.strNext = pTarget;
            item.bAskAgain = true;
            return;
        }
        if (pTarget) {
            rc = CURLE_TOO_MANY_REDIRECTS;
        }
    }
    if (rc == CURLE_ABORTED_BY_CALLBACK) {
        strWhy = "cancelled";
    } else if (rc == CURLE_OPERATION_TIMEDOUT && strError.empty()) {
        strWhy = "nothing arrived for " + std::to_string(item.req.nStallSeconds) + " seconds";
    } else if (!item.strTooLarge.empty() || rc == CURLE_FILESIZE_EXCEEDED) {
        strWhy = "larger than " + std::to_string(item.req.nMaxBytes) + " bytes";
    } else if (item.bWriteFailed) {
        strWhy = "cannot write " + r.strFile + ": " + std::strerror(item.nWriteErrno);
    } else if (rc != CURLE_OK) {
        strWhy = strError.empty() ? curl_easy_strerror(rc) : strError;
    } else if (nStatus < 200 || nStatus > 299) {
        strWhy = "HTTP status " + std::to_string(nStatus);
    }
    if (item.pFile) {
        if (std::fclose(item.pFile) != 0 && strWhy.empty()) {
            strWhy = "cannot write " + r.strFile + ": " + std::strerror(errno);
        }
        item.pFile = nullptr;
    }
    if (!strWhy.empty()) {
        std::remove(r.strFile.c_str());
        r.strFile.clear();
        r.strWhy = r.strUrl + ": " + strWhy;
        r.nResult = 1;
    } else {
        r.strWhy.clear();
        r.nResult = 0;
    }
}

// Ends an active transfer with rc, and either completes it or puts it back for its next request.
void CTransferQueue::EndActive(Item* pItem, CURLcode rc)
{
    auto it = std::find_if(m_active.begin(), m_active.end(), [pItem](const auto& p) { return p.get() == pItem; });
    if (it == m_active.end()) {
        return;
    }
    std::unique_ptr<Item> pOwned = std::move(*it);
    m_active.erase(it);
    Finish(*pOwned, rc);
    if (pOwned->bAskAgain) {
        pOwned->bAskAgain = false;
        Release(*pOwned);
        // It keeps its place ahead of later requests.
        m_pending.push_front(std::move(pOwned));
        return;
    }
    Complete(std::move(pOwned));
}

void CTransferQueue::Admit(Clock::time_point now)
{
    for (auto it = m_pending.begin(); it != m_pending.end() && static_cast<int>(m_active.size()) < m_nTotal;) {
        Item& item = **it;
        bool bCancelled = item.req.pCancel && item.req.pCancel->load();
        if (bCancelled) {
            item.result.nResult = 1;
            item.result.strWhy =
                item.req.kind == TransferRequest::Kind::Page ? "cancelled" : item.result.strUrl + ": cancelled";
            auto pItem = std::move(*it);
            it = m_pending.erase(it);
            Complete(std::move(pItem));
            continue;
        }
        if (item.notBefore > now) {
            ++it;
            continue;
        }
        // An address without a host fails in Start.
        if (!item.strHost.empty()) {
            const Host& host = m_hosts[item.strHost];
            if (host.nActive >= m_nPerHost || host.notBefore > now || host.pauseUntil > now) {
                ++it;
                continue;
            }
        }
        auto pItem = std::move(*it);
        it = m_pending.erase(it);
        if (Start(*pItem)) {
            m_active.push_back(std::move(pItem));
        } else {
            Complete(std::move(pItem));
        }
    }
}

// Cancel flags and stalls of the running transfers.
void CTransferQueue::CheckActive()
{
    const Clock::time_point now = Clock::now();
    std::vector<std::pair<Item*, CURLcode>> ended;
    for (auto& pItem : m_active) {
        Item& item = *pItem;
        if (item.req.pCancel && item.req.pCancel->load()) {
            ended.emplace_back(&item, CURLE_ABORTED_BY_CALLBACK);
            continue;
        }
        // curl's own low-speed check averages over several seconds, so a stall after a few bytes would
        // outlast the time-out; this one counts from the last byte received.
        curl_off_t nBody = 0;
        long nHeaders = 0;
        curl_easy_getinfo(item.pEasy, CURLINFO_SIZE_DOWNLOAD_T, &nBody);
        curl_easy_getinfo(item.pEasy, CURLINFO_HEADER_SIZE, &nHeaders);
        if (nBody + nHeaders != item.nLastReceived) {
            item.nLastReceived = nBody + nHeaders;
            item.lastProgress = now;
        } else if (now - item.lastProgress >= std::chrono::seconds(item.req.nStallSeconds)) {
            ended.emplace_back(&item, CURLE_OPERATION_TIMEDOUT);
        }
    }
    for (auto [pItem, rc] : ended) {
        EndActive(pItem, rc);
    }
}

void CTransferQueue::Poll(int nMaxWaitMs)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(0, nMaxWaitMs));
    for (bool bFirst = true; m_finished.empty(); bFirst = false) {
        const Clock::time_point now = Clock::now();
        if (!bFirst && now >= deadline) {
            break;
        }
        Admit(now);
        if (m_active.empty()) {
            if (m_pending.empty() || !m_finished.empty()) {
                break;
            }
            // Everything left waits for its time.
            const Clock::time_point wake = std::min(deadline, now + std::chrono::milliseconds(kStepMs));
            std::this_thread::sleep_until(std::max(wake, now + std::chrono::milliseconds(1)));
            continue;
        }
        int nRunning = 0;
        curl_multi_perform(m_pMulti, &nRunning);
        int nQueued = 0;
        while (CURLMsg* pMsg = curl_multi_info_read(m_pMulti, &nQueued)) {
            if (pMsg->msg != CURLMSG_DONE) {
                continue;
            }
            Item* pItem = nullptr;
            curl_easy_getinfo(pMsg->easy_handle, CURLINFO_PRIVATE, &pItem);
            const CURLcode rc = pMsg->data.result;
            if (pItem) {
                EndActive(pItem, rc);
            }
        }
        CheckActive();
        if (!m_finished.empty()) {
            break;
        }
        const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int nWait = static_cast<int>(std::clamp<long long>(nLeft, 0, kStepMs));
        if (nWait > 0 || bFirst) {
            curl_multi_poll(m_pMulti, nullptr, 0, std::max(nWait, 1), nullptr);
        }
    }
    // onDone may add requests; the finished list is taken first.
    std::list<std::unique_ptr<Item>> finished;
    finished.swap(m_finished);
    for (auto& pItem : finished) {
        if (pItem->req.onDone) {
            pItem->req.onDone(pItem->result);
        }
    }
}
