#include "ProjectFileAppend.h"

#include <algorithm>

#include "platform/Files.h"

std::string ProjectFileTitle(const std::string& strPath)
{
    const std::string name = files::FileName(strPath);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(0, dot);
}

bool AppendPagesToProjectFile(const std::string& strPath,
                              const std::string& strProject,
                              const std::vector<CProjectInfor>& pages,
                              ProjectFileStatus* status,
                              std::chrono::milliseconds lockWait)
{
    CProjectStore store;
    store.SetPath(strPath);
    store.SetHeaderName(ProjectFileTitle(strPath));
    store.SetLockWait(lockWait);
    const bool bOk = store.Update([&](std::vector<CProjectObject>& projects) {
        auto it = std::find_if(projects.begin(), projects.end(),
                               [&](const CProjectObject& p) { return p.m_strName == strProject; });
        if (it == projects.end()) {
            CProjectObject project;
            project.m_strName = strProject;
            projects.push_back(std::move(project));
            it = projects.end() - 1;
        }
        it->m_pages.insert(it->m_pages.end(), pages.begin(), pages.end());
        return true;
    });
    if (status) {
        *status = store.LastStatus();
    }
    return bOk;
}

int NextAddCount(const std::vector<std::string>& localFiles)
{
    if (localFiles.empty()) {
        return 0;
    }
    // A later job's pages are named "<number>_<count>" (or "00_<count>"): take the highest count in use.
    long nHighest = 0;
    for (const auto& file : localFiles) {
        std::string name = files::FileName(file);
        const auto dot = name.rfind('.');
        if (dot != std::string::npos) {
            name.resize(dot);
        }
        const auto underscore = name.rfind('_');
        if (underscore == std::string::npos || underscore + 1 == name.size() || name.size() - underscore > 8 ||
            name.find_first_not_of("0123456789", underscore + 1) != std::string::npos) {
            continue;
        }
        nHighest = std::max(nHighest, std::stol(name.substr(underscore + 1)));
    }
    return static_cast<int>(nHighest + 1);
}

int NextAddCount(const std::string& strPath, const std::string& strProject)
{
    CProjectStore store;
    store.SetPath(strPath);
    store.Transfer(false);
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    std::vector<std::string> localFiles;
    for (const auto& project : projects) {
        if (project.m_strName == strProject) {
            for (const auto& page : project.m_pages) {
                localFiles.push_back(page.m_strLocalFile);
            }
        }
    }
    return NextAddCount(localFiles);
}
