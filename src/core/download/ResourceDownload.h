#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class CHttpSession;

// Downloads strUrl (http or https, redirects followed) into the file strPath. The data is written to a
// temporary name in the same folder and renamed to strPath only when the whole body arrived with a 2xx
// status, so a failed download leaves no file (and an existing strPath untouched). A transfer that
// receives nothing for nStallSeconds fails; one in progress is aborted while *pCancel is true. On
// failure *pWhy gets an English reason. A body larger than nMaxBytes fails, so a server that never stops
// sending cannot fill the disk.
constexpr std::uint64_t kMaxResourceSize = std::uint64_t{1} << 30;
bool DownloadUrlToFile(const std::string& strUrl,
                       const std::string& strPath,
                       CHttpSession* pSession = nullptr,
                       const std::atomic<bool>* pCancel = nullptr,
                       std::string* pWhy = nullptr,
                       int nStallSeconds = 30,
                       std::uint64_t nMaxBytes = kMaxResourceSize);
