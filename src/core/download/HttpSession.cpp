#include "HttpSession.h"

#include <cstdlib>
#include <mutex>

#include "TransferQueue.h"

namespace
{

constexpr long kConnectTimeoutMs = 4000;

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace

CHttpSession::CHttpSession()
{
    InitCurlOnce();
    m_pMulti = curl_multi_init();
    // Pages are always fetched afresh, never answered from a cache on the way.
    m_pHeaders = curl_slist_append(m_pHeaders, "Cache-Control: no-cache");
    m_pHeaders = curl_slist_append(m_pHeaders, "Pragma: no-cache");
    if (const char* pCa = std::getenv("TRAWLIX_CA_BUNDLE"); pCa && *pCa) {
        m_strCaFile = pCa;
    }
}

CHttpSession::~CHttpSession()
{
    m_pQueue.reset();
    if (m_pMulti) {
        curl_multi_cleanup(m_pMulti);
    }
    curl_slist_free_all(m_pHeaders);
}

void CHttpSession::SetCaFile(const std::string& strCaFile)
{
    m_strCaFile = strCaFile;
}

void CHttpSession::ApplyCommonOptions(CURL* pEasy, int nStallSeconds) const
{
    curl_easy_setopt(pEasy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pEasy, CURLOPT_USERAGENT, "Microsoft Internet Explorer");
    curl_easy_setopt(pEasy, CURLOPT_HTTPHEADER, m_pHeaders);
    curl_easy_setopt(pEasy, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(pEasy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(pEasy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(pEasy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // Every encoding this libcurl can decode is offered; bodies are stored decoded.
    curl_easy_setopt(pEasy, CURLOPT_ACCEPT_ENCODING, "");
    // Wait for a connection that can carry one more HTTP/2 stream rather than open another.
    curl_easy_setopt(pEasy, CURLOPT_PIPEWAIT, 1L);
    // A transfer that moves no byte for this long has stalled and fails.
    curl_easy_setopt(pEasy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(pEasy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(nStallSeconds));
    curl_easy_setopt(pEasy, CURLOPT_CAINFO, m_strCaFile.empty() ? nullptr : m_strCaFile.c_str());
}

CTransferQueue& CHttpSession::Queue()
{
    if (!m_pQueue) {
        m_pQueue = std::make_unique<CTransferQueue>(*this);
    }
    return *m_pQueue;
}

std::string CHttpSession::RequestAddress(const std::string& strUrl)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string strOut;
    strOut.reserve(strUrl.size());
    for (unsigned char c : strUrl) {
        if (c <= 0x20 || c == 0x7F) {
            strOut += '%';
            strOut += kHex[c >> 4];
            strOut += kHex[c & 0x0F];
        } else {
            strOut += static_cast<char>(c);
        }
    }
    return strOut;
}
