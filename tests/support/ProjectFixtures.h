#pragma once

#include <string>
#include <utility>
#include <vector>

#include "project/ProjectRecords.h"

// Short ways to make page and project records in tests.
inline CProjectInfor
MakePage(const std::string& title, const std::string& file, const std::string& url, int bookmark = 0)
{
    CProjectInfor p;
    p.m_strTitle = title;
    p.m_strLocalFile = file;
    p.m_strUrl = url;
    p.m_bBookmark = bookmark;
    return p;
}

inline CProjectObject MakeProject(const std::string& name, std::vector<CProjectInfor> pages = {})
{
    CProjectObject p;
    p.m_strName = name;
    p.m_pages = std::move(pages);
    return p;
}
