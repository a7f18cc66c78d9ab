#pragma once

#include <ctime>
#include <string>
#include <vector>

// The fixed files of an EPUB 3 book around its pages: the container, the package document, the
// navigation document, the NCX table of contents for older readers, and the cover page.
namespace book
{

// Where things lie inside the book.
inline constexpr char kContentFolder[] = "EPUB/";
inline constexpr char kPackagePath[] = "EPUB/package.opf";
inline constexpr char kNavName[] = "nav.xhtml";
inline constexpr char kNcxName[] = "toc.ncx";
inline constexpr char kCoverName[] = "text/cover.xhtml";

struct ManifestItem
{
    std::string strId;
    std::string strHref; // relative to the package document
    std::string strMediaType;
    std::string strProperties;
};

struct TocEntry
{
    std::string strTitle;
    std::string strHref; // relative to the package document
};

struct PackageInfo
{
    std::string strTitle;
    std::string strUuid; // "xxxxxxxx-xxxx-…"
    std::time_t tModified = 0;
    std::vector<std::string> sources; // the pages' addresses, each once
    std::vector<ManifestItem> items;  // besides the nav, NCX and cover, which are always there
    std::vector<std::string> spine;   // ids of the pages, in reading order (the cover comes first)
    std::vector<TocEntry> toc;
};

std::string ContainerXml();
std::string PackageDocument(const PackageInfo& info);
std::string NavDocument(const PackageInfo& info);
std::string NcxDocument(const PackageInfo& info);
std::string CoverDocument(const std::string& title);

} // namespace book
