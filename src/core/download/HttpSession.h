#pragma once

#include <memory>
#include <string>
#include <vector>

#include <curl/curl.h>

class CTransferQueue;

// What one download job shares between its page fetches and resource downloads: the one multi handle with
// its open connections and host-name cache, the queue of transfers run on it, and the certificate
// authorities trusted for HTTPS. Used by one thread at a time.
class CHttpSession
{
public:
    CHttpSession();
    ~CHttpSession();
    CHttpSession(const CHttpSession&) = delete;
    CHttpSession& operator=(const CHttpSession&) = delete;

    // PEM file of the certificate authorities to trust; empty means the system's store. Starts as the
    // environment variable TRAWLIX_CA_BUNDLE when that is set.
    void SetCaFile(const std::string& strCaFile);
    const std::string& CaFile() const { return m_strCaFile; }

    // Cookies every request of the session carries, as the browser would send them (by host, path and
    // expiry): those of a Netscape cookie file, as browsers export it and curl reads it, and single lines of
    // that format. Cookies the answers set join them. A session given none sends and keeps none. False, with
    // a reason in pWhy, when the file cannot be read.
    bool
    SetCookies(const std::string& strCookieFile, const std::vector<std::string>& lines, std::string* pWhy = nullptr);

    // Options every request of the program carries: user agent, connect time-out, no cache, compressed
    // bodies accepted (and decoded), proxies from the environment, http and https only, HTTP/2 streams
    // shared on one connection, certificate authorities, stall time-out.
    void ApplyCommonOptions(CURL* pEasy, int nStallSeconds) const;
    // The headers ApplyCommonOptions sends.
    const curl_slist* CommonHeaders() const { return m_pHeaders; }

    CURLM* Multi() const { return m_pMulti; }
    // Every transfer of the session runs through this queue.
    CTransferQueue& Queue();

    // The address as it can stand in a request line: spaces and control characters, which pages do put in
    // their addresses, escaped as %XX; everything else as written.
    static std::string RequestAddress(const std::string& strUrl);

private:
    CURLM* m_pMulti = nullptr; // its connection and host-name caches outlive each transfer
    curl_slist* m_pHeaders = nullptr;
    std::string m_strCaFile;
    CURLSH* m_pShare = nullptr;               // the cookie jar, when the session has cookies
    std::unique_ptr<CTransferQueue> m_pQueue; // ended before the multi handle
};
