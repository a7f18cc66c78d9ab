#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "project/ProjectRecords.h"

class IDownloadNotify;

// What to update: the project strProject of the project file strProjectFile.
struct UpdateOptions
{
    std::string strProjectFile;
    std::string strProject;
    // Where the project's folder lies when the project file holds none of its pages yet (a first job
    // killed before it wrote the file); empty: the user's documents folder.
    std::string strSaveFolder;
    int nConnections = 0; // 0: as the project's job had it
    int nWaitMs = -1;     // -1: as the project's job had it
    int nMaxNew = 100;    // pages looked for after the end of a series
    // The project's pages as a window holds them (saved to the project file or not): the project file
    // is then neither read nor written, and the new pages are only reported (UpdateReport::addedPages)
    // for the window to add. strProjectFile may be empty.
    bool bPagesGiven = false;
    std::vector<CProjectInfor> pages;
};

// What an update did, counted by page.
struct UpdateReport
{
    std::string strProject;
    std::string strFolder;
    int nNew = 0;
    int nUpdated = 0;
    int nUnchanged = 0;
    int nRemoved = 0;
    int nFailed = 0;
    std::vector<std::string> removedUrls;
    std::vector<std::string> failedUrls;
    // Every page written by the update or by the job it finished (new and changed ones), in order: what
    // a search index must read again.
    std::vector<CProjectInfor> savedPages;
    // The pages that join the project, in order, after its earlier ones.
    std::vector<CProjectInfor> addedPages;
};

struct UpdateResult
{
    enum class Code
    {
        Ok,
        NoProjectFile, // missing or not a project file
        NoProject,     // no project of that name, and no record of one in its folder
        NotWritten     // the pages were saved but the project file could not be written
    };
    Code code = Code::Ok;
    std::string strMessage; // English, for a failure
    UpdateReport report;
};

// Brings a saved project up to date: every saved page is asked for again with its validators (a page
// answered 304, or with the bytes it had, is left alone), a changed page is saved over its file with the
// earlier copy kept in the folder's history folder, a page the site removed is kept, pages of an
// interrupted job are finished, a series is followed past its last page and a top page's new links are
// fetched; new pages are added to the project file in order. Runs the download job on the calling
// thread; pNotify hears its events. A cancel ends it like a stopped job.
UpdateResult
UpdateProject(const UpdateOptions& options, IDownloadNotify* pNotify, const std::atomic<bool>* pCancel = nullptr);

// The report's closing lines: each label, then its value indented by nine spaces.
std::vector<std::string> UpdateReportLines(const UpdateReport& report);

// The folder an update keeps the earlier copies of changed pages in, inside the project's folder.
constexpr const char* kHistoryFolderName = "history";

// The address nAfter numbers after strLast in the series strFirst … strLast (its number keeps the width
// of a zero-padded one); empty when strLast has no number. A single address counts on its last number.
std::string SeriesAddressAfter(const std::string& strFirst, const std::string& strLast, long long nAfter);
