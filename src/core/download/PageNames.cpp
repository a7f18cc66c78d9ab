#include "PageNames.h"

#include <sys/stat.h>

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

CPageNameSet::CPageNameSet(std::string strProjectFolder, std::string strExt)
    : m_strProjectFolder(std::move(strProjectFolder))
    , m_strExt(std::move(strExt))
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

std::string CPageNameSet::Take(const std::string& strName)
{
    std::string name = strName;
    for (int n = 2; IsTaken(name); ++n) {
        name = strName + "_" + std::to_string(n);
    }
    m_job.insert(name);
    return name;
}

bool MakePageNamesUnique(std::vector<std::string>& names,
                         std::string& strExt,
                         const std::string& strProjectFolder,
                         const std::function<bool()>& stopped)
{
    auto separator = strExt.find_last_of("/\\");
    if (separator != std::string::npos) {
        std::string tail = strExt.substr(separator + 1);
        auto dot = tail.rfind('.');
        strExt = dot == std::string::npos ? ".htm" : tail.substr(dot);
    }
    CPageNameSet taken(strProjectFolder, strExt);
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
        name = taken.Take(name);
    }
    return true;
}
