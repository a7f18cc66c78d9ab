#pragma once

#include <string>
#include <vector>

// What a job tells the record kept beside a project (for a later update), and what an update asks of
// the job. Called on the job's thread, in page order.

// One page or resource as it came: the address asked for, the address it came from after redirects,
// the file it was saved to, and what identifies this version of it.
struct SavedTransfer
{
    std::string strListUrl;
    std::string strUrl;
    std::string strLocalFile;
    std::string strTitle;
    std::string strETag;
    std::string strLastModified;
    std::string strDigest; // of the bytes as they came, before any rewriting
};

// How one page of an update ended.
enum class PageOutcome
{
    New,       // saved for the first time
    Updated,   // saved again over the earlier copy, which went to the history folder
    Unchanged, // answered 304, or the same bytes as before
    Removed,   // answered 404 or 410: the earlier copy and its record stay
    Failed,    // any other failure
    Missing    // a page looked for after the end of a series that is not there
};

// A page an update checks or looks for.
struct UpdatePage
{
    enum class Kind
    {
        Saved, // in the project: asked again with its validators
        New,   // never saved (a resumed job's page, or a new link of the top page)
        Probe  // a number after the end of a series, which may not be there
    };
    Kind kind = Kind::Saved;
    std::string strUrl;
    std::string strName; // file name without extension, in the project folder
    std::string strExt;
    std::string strETag;
    std::string strLastModified;
    std::string strDigest;
};

// The pages of an update, in order. The job asks for each; a saved page is asked with its validators.
struct UpdatePlan
{
    std::vector<UpdatePage> pages;
    // Probes end after this many missing in a row, or when nMaxNew of them have been found.
    int nMissingInARow = 2;
    int nMaxNew = 100;
    // Nonzero: page 0 is the top page of a top-page job; when it has changed, its links in the range from
    // strFirstLink to strLastLink (each may be empty) that no page of the plan has become new pages.
    int bTopLinks = 0;
    std::string strFirstLink;
    std::string strLastLink;
    // The earlier copy of a changed page goes here before the new one is written.
    std::string strHistoryFolder;
};

// The receiver of a job's record. Each call happens on the job's thread.
class IJobRecorder
{
public:
    virtual ~IJobRecorder() = default;
    // The job's pages in order, with the file names they will take, before the first is asked for.
    virtual void OnJobList(const std::vector<std::string>& urls,
                           const std::vector<std::string>& names,
                           const std::vector<std::string>& exts) = 0;
    virtual void OnPageSaved(const SavedTransfer& page) = 0;
    virtual void OnResourceSaved(const SavedTransfer& resource) = 0;
    // An update's page nIndex of its list (plan pages first, then the top page's new links) ended so.
    virtual void OnPageOutcome(int nIndex, const std::string& strUrl, PageOutcome outcome) = 0;
};

// SHA-256 of the bytes, in lower-case hex.
std::string ContentDigest(const std::string& bytes);
// The same for a file's bytes; empty when it cannot be read.
std::string FileDigest(const std::string& strPath);
