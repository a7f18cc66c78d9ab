#include "ResourceDownload.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "HttpSession.h"
#include "TransferQueue.h"
#include "platform/Files.h"

namespace
{

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
    TransferRequest request;
    request.kind = TransferRequest::Kind::File;
    request.strUrl = strUrl;
    // The temporary file lives beside the target so that the final rename stays within one file system.
    request.strTempFolder = files::FolderOf(strPath);
    request.strTempName = files::FileName(strPath);
    request.nMaxBytes = nMaxBytes;
    request.nStallSeconds = nStallSeconds;
    request.pCancel = pCancel;
    TransferResult result = pSession->Queue().Run(std::move(request));
    if (result.nResult != 0) {
        return Fail(pWhy, result.strWhy);
    }
    if (std::rename(result.strFile.c_str(), strPath.c_str()) != 0) {
        const std::string strWhy = strUrl + ": cannot rename the download to " + strPath + ": " + std::strerror(errno);
        std::remove(result.strFile.c_str());
        return Fail(pWhy, strWhy);
    }
    return true;
}
