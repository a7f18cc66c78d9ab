#include "HttpFetcher.h"

#include <algorithm>

#include "AsciiText.h"
#include "HttpSession.h"

namespace
{

// Body bytes of a non-200 answer that are read (and dropped) so the connection can serve the next request.
constexpr size_t kMaxSkippedBody = 64 * 1024;

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

} // namespace

struct CHttpFetcher::Transfer
{
    CURL* pEasy = nullptr;
    std::string* pBody = nullptr;
    size_t nMaxBody = 0;
    bool bStarted = false;
    long nStatus = 0;
    curl_off_t nDeclared = -1;
    size_t nSkipped = 0;
    bool bSkipCut = false; // a non-200 body was cut off on purpose: not a failure
    std::string strTooLarge;
};

size_t CHttpFetcher::OnBody(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    Transfer& t = *static_cast<Transfer*>(pUser);
    const size_t nBytes = nSize * nCount;
    if (!t.bStarted) {
        t.bStarted = true;
        curl_easy_getinfo(t.pEasy, CURLINFO_RESPONSE_CODE, &t.nStatus);
        curl_easy_getinfo(t.pEasy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &t.nDeclared);
        if (t.nStatus == 200) {
            if (t.nDeclared > 0 && static_cast<unsigned long long>(t.nDeclared) > t.nMaxBody) {
                t.strTooLarge = "the page declares " + std::to_string(t.nDeclared) + " bytes, more than the limit of " +
                                std::to_string(t.nMaxBody);
                return 0;
            }
            const size_t nWanted = t.nDeclared > 0 ? static_cast<size_t>(t.nDeclared) : 0;
            t.pBody->reserve(std::max(kInitialBufferSize, nWanted));
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
    if (t.nDeclared > 0) {
        nTake = std::min(nTake, static_cast<size_t>(t.nDeclared) -
                                    std::min(t.pBody->size(), static_cast<size_t>(t.nDeclared)));
    }
    if (t.pBody->size() + nTake > t.nMaxBody) {
        t.strTooLarge = "the page is larger than the limit of " + std::to_string(t.nMaxBody) + " bytes";
        return 0;
    }
    t.pBody->append(pData, nTake);
    return nBytes;
}

CHttpFetcher::CHttpFetcher(CHttpSession* pSession)
    : m_pSession(pSession)
{
    if (!m_pSession) {
        m_pOwnSession = std::make_unique<CHttpSession>();
        m_pSession = m_pOwnSession.get();
    }
}

CHttpFetcher::~CHttpFetcher()
{
    Close();
}

int CHttpFetcher::Open()
{
    if (!m_hInternet) {
        m_hInternet = curl_easy_init();
    }
    if (!m_hInternet) {
        m_strLastError = "cannot create an HTTP handle";
        return kFetchFailed;
    }
    return 0;
}

int CHttpFetcher::Close()
{
    if (!m_hInternet) {
        return 0;
    }
    curl_easy_cleanup(m_hInternet);
    m_hInternet = nullptr;
    return 1;
}

int CHttpFetcher::FetchOnce(std::string& strUrl, std::string& body, size_t& nLength)
{
    nLength = 0;
    body.clear();
    m_strLastError.clear();

    // The address keeps its letter case; only the scheme test ignores it.
    if (!ascii::StartsWithNoCase(strUrl, "http://") && !ascii::StartsWithNoCase(strUrl, "https://")) {
        strUrl = "http://" + strUrl;
    }
    const std::string strRequest = CHttpSession::RequestAddress(strUrl);
    UrlHandle url;
    const std::string strHost = url.Set(strRequest) ? UrlPart(url.p, CURLUPART_HOST) : std::string();
    if (strHost.empty()) {
        m_strLastError = "cannot split the address " + strUrl;
        return kFetchFailed;
    }
    const std::string strScheme = UrlPart(url.p, CURLUPART_SCHEME);
    const std::string strPort = UrlPart(url.p, CURLUPART_PORT);
    const std::string strOrigin = strScheme + "://" + strHost + (strPort.empty() ? "" : ":" + strPort);
    if (!m_hInternet) {
        m_strLastError = "the fetcher is not open";
        return kFetchFailed;
    }

    Transfer transfer;
    transfer.pEasy = m_hInternet;
    transfer.pBody = &body;
    transfer.nMaxBody = m_nMaxBodySize;
    char errorText[CURL_ERROR_SIZE] = {};
    m_pSession->ApplyCommonOptions(m_hInternet, m_nStallSeconds);
    curl_easy_setopt(m_hInternet, CURLOPT_URL, strRequest.c_str());
    curl_easy_setopt(m_hInternet, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(m_hInternet, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(m_hInternet, CURLOPT_WRITEFUNCTION, &CHttpFetcher::OnBody);
    curl_easy_setopt(m_hInternet, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(m_hInternet, CURLOPT_ERRORBUFFER, errorText);

    const CURLcode rc = m_pSession->Perform(m_hInternet, m_pCancel, m_nStallSeconds);
    curl_easy_setopt(m_hInternet, CURLOPT_ERRORBUFFER, nullptr);
    long nStatus = 0;
    curl_easy_getinfo(m_hInternet, CURLINFO_RESPONSE_CODE, &nStatus);

    if (!transfer.strTooLarge.empty()) {
        body.clear();
        m_strLastError = transfer.strTooLarge;
        return kFetchBadStatus;
    }
    if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && transfer.bSkipCut)) {
        body.clear();
        if (rc == CURLE_ABORTED_BY_CALLBACK) {
            m_strLastError = "cancelled";
        } else if (rc == CURLE_OPERATION_TIMEDOUT && !errorText[0]) {
            m_strLastError = "nothing arrived for " + std::to_string(m_nStallSeconds) + " seconds";
        } else {
            m_strLastError = errorText[0] ? errorText : curl_easy_strerror(rc);
        }
        return nStatus == 0 ? kFetchFailed : kFetchBadStatus;
    }

    if (nStatus == 301 || nStatus == 302 || nStatus == 303) {
        body.clear();
        curl_header* pLocation = nullptr;
        if (curl_easy_header(m_hInternet, "Location", 0, CURLH_HEADER, -1, &pLocation) != CURLHE_OK || !pLocation) {
            m_strLastError = "redirect (HTTP status " + std::to_string(nStatus) + ") without a Location";
            return kFetchBadStatus;
        }
        strUrl = RedirectTarget(strOrigin, strScheme, pLocation->value);
        m_strLastError = "redirected to " + strUrl;
        return kFetchRedirected;
    }
    if (nStatus != 200) {
        body.clear();
        m_strLastError = "HTTP status " + std::to_string(nStatus);
        return kFetchBadStatus;
    }
    nLength = body.size();
    return kFetchOk;
}

int CHttpFetcher::Fetch(std::string& strUrl, std::string& body, size_t& nLength, int bFollow)
{
    int nResult = kFetchFailed;
    for (int i = 0; i < kMaxRequests; ++i) {
        nResult = FetchOnce(strUrl, body, nLength);
        if (nResult != kFetchRedirected || !bFollow) {
            break;
        }
    }
    if (nResult == kFetchRedirected && bFollow) {
        m_strLastError = "too many redirects, the last to " + strUrl;
    }
    return nResult;
}
