#include "HttpSession.h"

#include <chrono>
#include <cstdlib>
#include <mutex>

namespace
{

constexpr long kConnectTimeoutMs = 4000;
constexpr int kPollMs = 100;

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
    // A transfer that moves no byte for this long has stalled and fails.
    curl_easy_setopt(pEasy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(pEasy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(nStallSeconds));
    curl_easy_setopt(pEasy, CURLOPT_CAINFO, m_strCaFile.empty() ? nullptr : m_strCaFile.c_str());
}

CURLcode CHttpSession::Perform(CURL* pEasy, const std::atomic<bool>* pCancel, int nStallSeconds)
{
    using Clock = std::chrono::steady_clock;
    if (!m_pMulti || curl_multi_add_handle(m_pMulti, pEasy) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    CURLcode result = CURLE_OK;
    curl_off_t nLastReceived = -1;
    Clock::time_point lastProgress = Clock::now();
    for (;;) {
        int nRunning = 0;
        if (curl_multi_perform(m_pMulti, &nRunning) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        bool bDone = false;
        int nQueued = 0;
        while (CURLMsg* pMsg = curl_multi_info_read(m_pMulti, &nQueued)) {
            if (pMsg->msg == CURLMSG_DONE && pMsg->easy_handle == pEasy) {
                result = pMsg->data.result;
                bDone = true;
            }
        }
        if (bDone) {
            break;
        }
        if (nRunning == 0) {
            result = CURLE_FAILED_INIT;
            break;
        }
        // Removing the handle below aborts the transfer and drops its connection.
        if (pCancel && pCancel->load()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        // curl's own low-speed check averages over several seconds, so a stall after a few bytes would
        // outlast the time-out; this one counts from the last byte received.
        curl_off_t nBody = 0;
        long nHeaders = 0;
        curl_easy_getinfo(pEasy, CURLINFO_SIZE_DOWNLOAD_T, &nBody);
        curl_easy_getinfo(pEasy, CURLINFO_HEADER_SIZE, &nHeaders);
        if (nBody + nHeaders != nLastReceived) {
            nLastReceived = nBody + nHeaders;
            lastProgress = Clock::now();
        } else if (Clock::now() - lastProgress >= std::chrono::seconds(nStallSeconds)) {
            result = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        curl_multi_poll(m_pMulti, nullptr, 0, kPollMs, nullptr);
    }
    curl_multi_remove_handle(m_pMulti, pEasy);
    return result;
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
