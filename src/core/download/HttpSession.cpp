#include "HttpSession.h"

#include <cstdlib>
#include <mutex>

#include "TransferQueue.h"
#include "platform/Files.h"

namespace
{

constexpr long kConnectTimeoutMs = 4000;
// Bytes per second below which a transfer counts as too slow (for the stall time-out).
constexpr long kLowSpeedLimit = 1024;

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
    if (m_pShare) {
        curl_share_cleanup(m_pShare);
    }
    curl_slist_free_all(m_pHeaders);
}

bool CHttpSession::SetCookies(const std::string& strCookieFile,
                              const std::vector<std::string>& lines,
                              std::string* pWhy)
{
    std::vector<std::string> all;
    if (!strCookieFile.empty()) {
        std::string text;
        if (!files::IsRegularFile(strCookieFile) || !files::ReadFile(strCookieFile, text, pWhy, 16u << 20)) {
            if (pWhy && pWhy->empty()) {
                *pWhy = "cannot read the cookie file " + strCookieFile;
            }
            return false;
        }
        size_t from = 0;
        while (from < text.size()) {
            size_t end = text.find('\n', from);
            if (end == std::string::npos) {
                end = text.size();
            }
            std::string line = text.substr(from, end - from);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            all.push_back(std::move(line));
            from = end + 1;
        }
    }
    all.insert(all.end(), lines.begin(), lines.end());
    if (all.empty()) {
        return true;
    }
    if (!m_pShare) {
        m_pShare = curl_share_init();
        if (!m_pShare) {
            return true;
        }
        curl_share_setopt(m_pShare, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    // The jar belongs to the share; a handle of its own only fills it.
    CURL* pEasy = curl_easy_init();
    if (!pEasy) {
        return true;
    }
    curl_easy_setopt(pEasy, CURLOPT_SHARE, m_pShare);
    for (const std::string& line : all) {
        // Blank lines and comments are not cookies ("#HttpOnly_" lines are, and curl reads them so); the
        // words curl takes as commands are not cookie lines either.
        if (line.empty() || line == "ALL" || line == "SESS" || line == "FLUSH" || line == "RELOAD" ||
            (line[0] == '#' && line.rfind("#HttpOnly_", 0) != 0)) {
            continue;
        }
        curl_easy_setopt(pEasy, CURLOPT_COOKIELIST, line.c_str());
    }
    curl_easy_cleanup(pEasy);
    return true;
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
    // A transfer slower than 1 KB/s for this long fails: a server that drips a byte at a time would
    // otherwise hold a page for ever (one that sends nothing at all is caught sooner by the queue).
    curl_easy_setopt(pEasy, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedLimit);
    curl_easy_setopt(pEasy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(nStallSeconds));
    curl_easy_setopt(pEasy, CURLOPT_CAINFO, m_strCaFile.empty() ? nullptr : m_strCaFile.c_str());
    if (m_pShare) {
        curl_easy_setopt(pEasy, CURLOPT_SHARE, m_pShare);
        curl_easy_setopt(pEasy, CURLOPT_COOKIEFILE, ""); // the cookie engine on, no file read
    }
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
