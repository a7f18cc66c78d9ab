#pragma once

#include <atomic>
#include <string>

#include <curl/curl.h>

// What one download job shares between its page fetches and resource downloads: open connections, the
// host-name cache and the certificate authorities trusted for HTTPS. Used by one thread at a time.
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

    // Options every request of the program carries: user agent, connect time-out, no cache, proxies from
    // the environment, http and https only, certificate authorities, stall time-out.
    void ApplyCommonOptions(CURL* pEasy, int nStallSeconds) const;

    // Runs one prepared transfer to its end. Returns CURLE_ABORTED_BY_CALLBACK when *pCancel turns true
    // while it runs, and CURLE_OPERATION_TIMEDOUT when no byte has arrived for nStallSeconds (both checked
    // at least every 100 ms, even while nothing arrives).
    CURLcode Perform(CURL* pEasy, const std::atomic<bool>* pCancel, int nStallSeconds);

    // The address as it can stand in a request line: spaces and control characters, which pages do put in
    // their addresses, escaped as %XX; everything else as written.
    static std::string RequestAddress(const std::string& strUrl);

private:
    CURLM* m_pMulti = nullptr; // its connection and host-name caches outlive each transfer
    curl_slist* m_pHeaders = nullptr;
    std::string m_strCaFile;
};
