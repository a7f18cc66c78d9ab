#include "ResourceDownload.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

#include <curl/curl.h>

#include "HttpSession.h"
#include "platform/Files.h"

namespace
{

constexpr long kMaxRedirects = 10;

struct Output
{
    FILE* pFile = nullptr;
    bool bWriteFailed = false;
    std::uint64_t nWritten = 0;
    std::uint64_t nMaxBytes = 0;
    bool bTooLarge = false;
};

size_t OnData(char* pData, size_t nSize, size_t nCount, void* pUser)
{
    Output& out = *static_cast<Output*>(pUser);
    const size_t nBytes = nSize * nCount;
    out.nWritten += nBytes;
    if (out.nWritten > out.nMaxBytes) {
        out.bTooLarge = true;
        return 0;
    }
    if (std::fwrite(pData, 1, nBytes, out.pFile) != nBytes) {
        out.bWriteFailed = true;
        return 0;
    }
    return nBytes;
}

bool Fail(std::string* pWhy, const std::string& strWhy)
{
    if (pWhy) {
        *pWhy = strWhy;
    }
    return false;
}

} // namespace

bool DownloadUrlToFile(const std::string& strUrl,
                       const std::string& strPath,
                       CHttpSession* pSession,
                       const std::atomic<bool>* pCancel,
                       std::string* pWhy,
                       int nStallSeconds,
                       std::uint64_t nMaxBytes)
{
    std::unique_ptr<CHttpSession> pOwnSession;
    if (!pSession) {
        pOwnSession = std::make_unique<CHttpSession>();
        pSession = pOwnSession.get();
    }

    // The temporary file lives beside the target so that the final rename stays within one file system.
    std::string strTemp = files::Join(files::FolderOf(strPath), "." + files::FileName(strPath) + ".part-XXXXXX");
    const int fd = mkstemp(strTemp.data());
    if (fd < 0) {
        return Fail(pWhy, "cannot create a file beside " + strPath + ": " + std::strerror(errno));
    }
    Output out;
    out.nMaxBytes = nMaxBytes;
    out.pFile = fdopen(fd, "wb");
    if (!out.pFile) {
        ::close(fd);
        std::remove(strTemp.c_str());
        return Fail(pWhy, "cannot write " + strTemp);
    }

    CURL* pEasy = curl_easy_init();
    if (!pEasy) {
        std::fclose(out.pFile);
        std::remove(strTemp.c_str());
        return Fail(pWhy, "cannot create an HTTP handle");
    }
    char errorText[CURL_ERROR_SIZE] = {};
    pSession->ApplyCommonOptions(pEasy, nStallSeconds);
    const std::string strRequest = CHttpSession::RequestAddress(strUrl);
    curl_easy_setopt(pEasy, CURLOPT_URL, strRequest.c_str());
    curl_easy_setopt(pEasy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(pEasy, CURLOPT_MAXREDIRS, kMaxRedirects);
    // An error page is never saved as the resource.
    curl_easy_setopt(pEasy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(pEasy, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(pEasy, CURLOPT_WRITEDATA, &out);
    curl_easy_setopt(pEasy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(pEasy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(nMaxBytes));

    const CURLcode rc = pSession->Perform(pEasy, pCancel, nStallSeconds);
    long nStatus = 0;
    curl_easy_getinfo(pEasy, CURLINFO_RESPONSE_CODE, &nStatus);
    curl_easy_cleanup(pEasy);

    std::string strWhy;
    if (rc == CURLE_ABORTED_BY_CALLBACK) {
        strWhy = "cancelled";
    } else if (rc == CURLE_OPERATION_TIMEDOUT && !errorText[0]) {
        strWhy = "nothing arrived for " + std::to_string(nStallSeconds) + " seconds";
    } else if (out.bTooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
        strWhy = "larger than " + std::to_string(nMaxBytes) + " bytes";
    } else if (out.bWriteFailed) {
        strWhy = "cannot write " + strTemp + ": " + std::strerror(errno);
    } else if (rc != CURLE_OK) {
        strWhy = errorText[0] ? errorText : curl_easy_strerror(rc);
    } else if (nStatus < 200 || nStatus > 299) {
        strWhy = "HTTP status " + std::to_string(nStatus);
    }
    if (std::fclose(out.pFile) != 0 && strWhy.empty()) {
        strWhy = "cannot write " + strTemp + ": " + std::strerror(errno);
    }
    if (strWhy.empty() && std::rename(strTemp.c_str(), strPath.c_str()) != 0) {
        strWhy = "cannot rename the download to " + strPath + ": " + std::strerror(errno);
    }
    if (!strWhy.empty()) {
        std::remove(strTemp.c_str());
        return Fail(pWhy, strUrl + ": " + strWhy);
    }
    return true;
}
