#include "ChmBuildParams.h"

#include "platform/Files.h"

void ChmBuildParams::SetPages(const std::vector<std::string>& pageFiles, const std::string& workFolder)
{
    m_pageFiles.insert(m_pageFiles.end(), pageFiles.begin(), pageFiles.end());
    m_strWorkFolder = workFolder;
    m_strContentsFile = files::Join(workFolder, kChmContentsFileName);
    m_strProjectFile = files::Join(workFolder, kChmProjectFileName);
}

void ChmBuildParams::SetTitles(const std::vector<std::string>& pageTitles)
{
    m_pageTitles.insert(m_pageTitles.end(), pageTitles.begin(), pageTitles.end());
}

std::string ChmFilePath(const std::string& folder, const std::string& name)
{
    // The compiler runs in the working folder: a relative path would put the book there.
    return files::Join(files::AbsolutePath(folder), name) + ".chm";
}
