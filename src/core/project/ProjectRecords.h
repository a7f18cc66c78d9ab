#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One saved page of a project.
class CProjectInfor
{
public:
    std::string m_strTitle;
    std::string m_strLocalFile;
    std::string m_strUrl;
    std::int32_t m_bBookmark = 0;

    bool operator==(const CProjectInfor&) const = default;
};

// One project: a name and its pages in order.
class CProjectObject
{
public:
    std::string m_strName;
    std::int32_t m_nPageCount = 0; // scratch: set while storing, holds the count read while loading
    std::vector<CProjectInfor> m_pages;
};
