#include "JobResources.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"

namespace
{

// strPath becomes a second name of strSource (a copy where links are not possible), replacing what is
// there only once the new file is complete.
bool LinkOrCopy(const std::string& strSource, const std::string& strPath, std::string* pWhy)
{
    // Already the same file (a page using the address twice): renaming a link over its twin does nothing.
    struct stat source
    {};
    struct stat target
    {};
    if (::stat(strSource.c_str(), &source) == 0 && ::stat(strPath.c_str(), &target) == 0 &&
        source.st_dev == target.st_dev && source.st_ino == target.st_ino) {
        return true;
    }
    // Nothing there yet (the usual case): the link is made in place.
    if (::link(strSource.c_str(), strPath.c_str()) == 0) {
        return true;
    }
    std::string strTemp = files::Join(files::FolderOf(strPath), "." + files::FileName(strPath) + ".link-XXXXXX");
    const int fd = mkstemp(strTemp.data());
    if (fd < 0) {
        if (pWhy) {
            *pWhy = "cannot create a file beside " + strPath + ": " + std::strerror(errno);
        }
        return false;
    }
    ::close(fd);
    ::unlink(strTemp.c_str());
    bool bMade = ::link(strSource.c_str(), strTemp.c_str()) == 0;
    if (!bMade) {
        std::error_code ec;
        bMade = std::filesystem::copy_file(strSource, strTemp, std::filesystem::copy_options::overwrite_existing, ec);
        if (!bMade && pWhy) {
            *pWhy = "cannot copy " + strSource + " to " + strPath + ": " + ec.message();
        }
    }
    if (bMade && std::rename(strTemp.c_str(), strPath.c_str()) != 0) {
        if (pWhy) {
            *pWhy = "cannot rename a copy to " + strPath + ": " + std::strerror(errno);
        }
        bMade = false;
    }
    if (!bMade) {
        std::remove(strTemp.c_str());
    }
    return bMade;
}

} // namespace

CJobResources::~CJobResources()
{
    for (auto& [strUrl, entry] : m_entries) {
        if (!entry.strTemp.empty()) {
            std::remove(entry.strTemp.c_str());
        }
    }
}

CJobResources::State CJobResources::StateOf(const std::string& strUrl) const
{
    auto it = m_entries.find(strUrl);
    return it == m_entries.end() ? State::Unknown : it->second.state;
}

void CJobResources::Started(const std::string& strUrl, int nPage)
{
    Entry& entry = m_entries[strUrl];
    entry.state = State::Running;
    entry.nPage = nPage;
}

void CJobResources::Fetched(const std::string& strUrl, const std::string& strTempFile)
{
    auto it = m_entries.find(strUrl);
    if (it == m_entries.end()) {
        std::remove(strTempFile.c_str());
        return;
    }
    it->second.state = State::Ready;
    it->second.strTemp = strTempFile;
}

void CJobResources::Failed(const std::string& strUrl, const std::string& strWhy)
{
    Entry& entry = m_entries[strUrl];
    entry.state = State::Failed;
    entry.strWhy = strWhy;
}

void CJobResources::ForgetPagesAbove(int nPage)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.state == State::Running && it->second.nPage > nPage) {
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}

void CJobResources::ForgetPlacedIn(const std::string& strFolder)
{
    const std::string prefix = files::Join(strFolder, "");
    for (auto it = m_placedAt.lower_bound(prefix); it != m_placedAt.end() && it->first.starts_with(prefix);) {
        auto entry = m_entries.find(it->second);
        if (entry != m_entries.end() && entry->second.strPlaced == it->first) {
            m_entries.erase(entry);
        }
        it = m_placedAt.erase(it);
    }
}

bool CJobResources::Place(const std::string& strUrl, const std::string& strPath, std::string* pWhy)
{
    auto it = m_entries.find(strUrl);
    if (it == m_entries.end() || it->second.state != State::Ready) {
        if (pWhy) {
            *pWhy = strUrl + ": not fetched";
        }
        return false;
    }
    Entry& entry = it->second;
    std::string strWhy;
    bool bOk = true;
    if (!entry.strTemp.empty()) {
        if (std::rename(entry.strTemp.c_str(), strPath.c_str()) != 0) {
            strWhy = "cannot rename the download to " + strPath + ": " + std::strerror(errno);
            std::remove(entry.strTemp.c_str());
            bOk = false;
        } else {
            entry.strPlaced = strPath;
        }
        entry.strTemp.clear();
    } else if (entry.strPlaced != strPath) {
        bOk = LinkOrCopy(entry.strPlaced, strPath, &strWhy);
    }
    if (!bOk) {
        entry.state = State::Failed;
        entry.strWhy = strUrl + ": " + strWhy;
        if (pWhy) {
            *pWhy = entry.strWhy;
        }
        return false;
    }
    // Another address whose first copy lay here has lost it: it is fetched again if a later page needs it.
    auto placed = m_placedAt.find(strPath);
    if (placed != m_placedAt.end() && placed->second != strUrl) {
        auto other = m_entries.find(placed->second);
        if (other != m_entries.end() && other->second.strPlaced == strPath) {
            m_entries.erase(other);
        }
    }
    m_placedAt[strPath] = strUrl;
    return true;
}

std::string CJobResources::WhyFailed(const std::string& strUrl) const
{
    auto it = m_entries.find(strUrl);
    return it == m_entries.end() ? std::string() : it->second.strWhy;
}
