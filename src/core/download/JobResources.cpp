#include "JobResources.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/evp.h>

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
    for (auto& [key, strTemp] : m_temp) {
        std::remove(strTemp.c_str());
    }
}

CJobResources::Key CJobResources::KeyOf(const std::string& strUrl)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nDigest = 0;
    EVP_Digest(strUrl.data(), strUrl.size(), digest, &nDigest, EVP_sha256(), nullptr);
    Key key;
    std::memcpy(&key.a, digest, sizeof key.a);
    std::memcpy(&key.b, digest + sizeof key.a, sizeof key.b);
    return key;
}

void CJobResources::erase(const Key& key)
{
    m_entries.erase(key);
    m_why.erase(key);
    auto temp = m_temp.find(key);
    if (temp != m_temp.end()) {
        std::remove(temp->second.c_str());
        m_temp.erase(temp);
    }
}

CJobResources::State CJobResources::StateOf(const std::string& strUrl) const
{
    auto it = m_entries.find(KeyOf(strUrl));
    return it == m_entries.end() ? State::Unknown : it->second.state;
}

void CJobResources::Started(const std::string& strUrl, int nPage)
{
    Entry& entry = m_entries[KeyOf(strUrl)];
    entry.state = State::Running;
    entry.nPage = nPage;
}

void CJobResources::Fetched(const std::string& strUrl, const std::string& strTempFile)
{
    const Key key = KeyOf(strUrl);
    auto it = m_entries.find(key);
    if (it == m_entries.end()) {
        std::remove(strTempFile.c_str());
        return;
    }
    it->second.state = State::Ready;
    std::string& strTemp = m_temp[key];
    if (!strTemp.empty() && strTemp != strTempFile) {
        std::remove(strTemp.c_str());
    }
    strTemp = strTempFile;
}

void CJobResources::Failed(const std::string& strUrl, const std::string& strWhy)
{
    const Key key = KeyOf(strUrl);
    m_entries[key].state = State::Failed;
    m_why[key] = strWhy;
}

void CJobResources::ForgetPagesAbove(int nPage)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.state == State::Running && it->second.nPage > nPage) {
            m_why.erase(it->first);
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
        if (entry != m_entries.end() && entry->second.pPlaced == &it->first) {
            erase(it->second);
        }
        it = m_placedAt.erase(it);
    }
}

bool CJobResources::Place(const std::string& strUrl, const std::string& strPath, std::string* pWhy)
{
    const Key key = KeyOf(strUrl);
    auto it = m_entries.find(key);
    if (it == m_entries.end() || it->second.state != State::Ready) {
        if (pWhy) {
            *pWhy = strUrl + ": not fetched";
        }
        return false;
    }
    std::string strWhy;
    bool bOk = true;
    bool bFirst = false;
    auto temp = m_temp.find(key);
    if (temp != m_temp.end()) {
        if (std::rename(temp->second.c_str(), strPath.c_str()) != 0) {
            strWhy = "cannot rename the download to " + strPath + ": " + std::strerror(errno);
            std::remove(temp->second.c_str());
            bOk = false;
        } else {
            bFirst = true;
        }
        m_temp.erase(temp);
    } else if (!it->second.pPlaced) {
        strWhy = "the download is gone";
        bOk = false;
    } else if (*it->second.pPlaced != strPath) {
        bOk = LinkOrCopy(*it->second.pPlaced, strPath, &strWhy);
    }
    if (!bOk) {
        it->second.state = State::Failed;
        std::string& strFailed = m_why[key];
        strFailed = strUrl + ": " + strWhy;
        if (pWhy) {
            *pWhy = strFailed;
        }
        return false;
    }
    // Another address whose first copy lay here has lost it: it is fetched again if a later page needs it.
    auto placed = m_placedAt.find(strPath);
    if (placed != m_placedAt.end() && !(placed->second == key)) {
        auto other = m_entries.find(placed->second);
        if (other != m_entries.end() && other->second.pPlaced == &placed->first) {
            erase(placed->second);
        }
    }
    if (placed == m_placedAt.end()) {
        placed = m_placedAt.emplace(strPath, key).first;
    } else {
        placed->second = key;
    }
    if (bFirst) {
        // The entry may have gone with the other address only if both were the same: look it up again.
        auto self = m_entries.find(key);
        if (self != m_entries.end()) {
            self->second.pPlaced = &placed->first;
        }
    }
    return true;
}

std::string CJobResources::WhyFailed(const std::string& strUrl) const
{
    auto it = m_why.find(KeyOf(strUrl));
    return it == m_why.end() ? std::string() : it->second;
}
