#include "HttpFetcher.h"

#include "AsciiText.h"
#include "HttpSession.h"
#include "TransferQueue.h"

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
    return Request(strUrl, body, nLength, 1);
}

int CHttpFetcher::Fetch(std::string& strUrl, std::string& body, size_t& nLength, int bFollow)
{
    return Request(strUrl, body, nLength, bFollow ? kMaxRequests : 1);
}

int CHttpFetcher::Request(std::string& strUrl, std::string& body, size_t& nLength, int nMaxRequests)
{
    nLength = 0;
    body.clear();
    m_strLastError.clear();
    if (!m_hInternet) {
        // The address still gets its scheme, as the caller reports it.
        if (!ascii::StartsWithNoCase(strUrl, "http://") && !ascii::StartsWithNoCase(strUrl, "https://")) {
            strUrl = "http://" + strUrl;
        }
        m_strLastError = "the fetcher is not open";
        return kFetchFailed;
    }
    TransferRequest request;
    request.kind = TransferRequest::Kind::Page;
    request.strUrl = strUrl;
    request.nMaxRequests = nMaxRequests;
    request.nMaxBytes = m_nMaxBodySize;
    request.nStallSeconds = m_nStallSeconds;
    request.pCancel = m_pCancel;
    request.pEasy = m_hInternet;
    TransferResult result = m_pSession->Queue().Run(std::move(request));
    strUrl = result.strUrl;
    m_strLastError = result.strWhy;
    if (result.nResult == kFetchOk) {
        body = std::move(result.body);
        nLength = body.size();
    }
    return result.nResult;
}
