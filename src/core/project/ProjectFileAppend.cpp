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
                              ProjectFileStatus* status)
{
    auto report = [status](const ProjectFileStatus& s) {
        if (status) {
            *status = s;
        }
        return s.m_code == ProjectFileStatus::Code::Ok;
    };

    CProjectStore store;
    store.SetPath(strPath);
    std::vector<CProjectObject> projects;
    if (files::Exists(strPath)) {
        store.Transfer(false);
        if (!store.LastTransferOk()) {
            // Writing now would replace whatever the file holds with only the new pages.
            return report(store.LastStatus());
        }
        store.GetProjects(projects);
    } else {
        store.SetHeaderName(ProjectFileTitle(strPath));
    }

    auto it = std::find_if(projects.begin(), projects.end(),
                           [&](const CProjectObject& p) { return p.m_strName == strProject; });
    if (it == projects.end()) {
        CProjectObject project;
        project.m_strName = strProject;
        projects.push_back(std::move(project));
        it = projects.end() - 1;
    }
    it->m_pages.insert(it->m_pages.end(), pages.begin(), pages.end());
    store.SetProjects(projects);
    return report(store.LastStatus());
}
