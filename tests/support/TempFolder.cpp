#include "TempFolder.h"

#include <cstdlib>
#include <stdexcept>

#include "platform/Files.h"

TempFolder::TempFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    m_strPath = files::MakeUniqueFolder(tmp && *tmp ? tmp : "/tmp", "trawlix-test-");
    if (m_strPath.empty()) {
        throw std::runtime_error("cannot create a temporary folder");
    }
}

TempFolder::~TempFolder()
{
    files::RemoveTree(m_strPath);
}

std::string TempFolder::file(const std::string& name) const
{
    return files::Join(m_strPath, name);
}
