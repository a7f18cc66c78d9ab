#include "PageNames.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"

namespace
{

// A name that would put a file outside its folder (or nowhere).
bool isUnsafeName(const std::string& strName)
{
    return strName.empty() || strName == "." || strName == ".." || strName.find_first_of("/\\") != std::string::npos;
}

bool exists(const std::string& path)
{
    struct stat st
    {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

CPageNameSet::CPageNameSet(std::string strProjectFolder, std::string strExt, bool bReserve)
    : m_strProjectFolder(std::move(strProjectFolder))
    , m_strExt(std::move(strExt))
    , m_bReserve(bReserve && !m_strProjectFolder.empty())
{
    if (!m_strProjectFolder.empty() && m_strProjectFolder.back() != '/') {
        m_strProjectFolder.push_back('/');
    }
}

bool CPageNameSet::IsTaken(const std::string& strName) const
{
    if (IsTakenInJob(strName)) {
        return true;
    }
    return !m_strProjectFolder.empty() &&
           (exists(m_strProjectFolder + strName + m_strExt) || exists(m_strProjectFolder + strName + ".files"));
}

bool CPageNameSet::reserve(const std::string& strName, bool& bReserved) const
{
    bReserved = false;
    const std::string page = m_strProjectFolder + strName + m_strExt;
    const int fd = ::open(page.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        // Not writable here: the name is only checked, and saving the page will tell why it fails.
        return errno != EEXIST && !IsTaken(strName);
    }
    ::close(fd);
    const std::string folder = m_strProjectFolder + strName + ".files";
    if (::mkdir(folder.c_str(), 0777) != 0 && errno == EEXIST) {
        // Another page's folder (a job saving pages with another extension).
        ::unlink(page.c_str());
        return false;
    }
    bReserved = true;
    return true;
}

std::string CPageNameSet::Take(const std::string& strName, bool* pReserved)
{
    bool bReserved = false;
    std::string name = strName;
    for (int n = 2;; ++n) {
        if (m_bReserve ? !IsTakenInJob(name) && reserve(name, bReserved) : !IsTaken(name)) {
            break;
        }
        name = strName + "_" + std::to_string(n);
    }
    m_job.insert(name);
    if (pReserved) {
        *pReserved = bReserved;
    }
    return name;
}

bool MakePageNamesUnique(std::vector<std::string>& names,
                         std::string& strExt,
                         const std::string& strProjectFolder,
                         const std::function<bool()>& stopped,
                         std::vector<bool>* pReserved)
{
    auto separator = strExt.find_last_of("/\\");
    if (separator != std::string::npos) {
        std::string tail = strExt.substr(separator + 1);
        auto dot = tail.rfind('.');
        strExt = dot == std::string::npos ? ".htm" : tail.substr(dot);
    }
    CPageNameSet taken(strProjectFolder, strExt, pReserved != nullptr);
    if (pReserved) {
        pReserved->assign(names.size(), false);
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (stopped && i % 256 == 0 && stopped()) {
            return false;
        }
        std::string& name = names[i];
        if (isUnsafeName(name)) {
            name = "00" + std::to_string(i + 1);
        }
        if (taken.IsTakenInJob(name)) {
            name = "000" + std::to_string(i + 1);
        }
        bool bReserved = false;
        name = taken.Take(name, &bReserved);
        if (pReserved) {
            (*pReserved)[i] = bReserved;
        }
    }
    return true;
}

void ReleasePageName(const std::string& strProjectFolder, const std::string& strName, const std::string& strExt)
{
    const std::string folder = files::Join(strProjectFolder, "");
    const std::string page = folder + strName + strExt;
    struct stat st
    {};
    if (::lstat(page.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
        ::unlink(page.c_str());
    }
    files::RemoveTree(folder + strName + ".files");
}
