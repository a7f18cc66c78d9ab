#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "project/ProjectRecords.h"

// Everything one EPUB build needs. Strings are UTF-8.
struct EpubBuildParams
{
    std::string m_strEpubFile;          // full path of the book, ".epub" included
    std::string m_strBookName;          // the book's title
    std::string m_strProjectName;       // with the book name, fixes the book's identifier
    std::vector<CProjectInfor> m_pages; // in tree order
    std::time_t m_tModified = 0;        // the book's modification time; 0: now
};

struct EpubBuildResult
{
    enum class Code
    {
        Ok,
        NoPages,     // the project has no page
        NoPageRead,  // no page of the project could be read
        NotAPage,    // a page record names a file that is not a saved web page (a crafted project file)
        CannotWrite, // the book cannot be written where it was asked
        Cancelled,
    };
    Code m_code = Code::Ok;
    std::string m_strMessage;           // English, for the terminal
    int m_nPages = 0;                   // pages in the book
    int m_nSkipped = 0;                 // pages that could not be read or written
    int m_nResources = 0;               // pictures and style sheets stored in the book, identical ones once
    std::string m_strRefusedFile;       // with NotAPage: the file the record names
    std::vector<std::string> m_changes; // what pages in the book lost, each naming its page (English)

    bool Succeeded() const { return m_code == Code::Ok; }
};

// How far a build has come: nDone of nTotal steps (two per page, then one to write the book).
using EpubProgress = std::function<void(int nDone, int nTotal, const std::string& strTitle)>;
// A page that was skipped, and why (English).
using EpubWarning = std::function<void(const std::string& strFile, const std::string& strWhy)>;

// Makes one EPUB 3 book of the pages on the calling thread. A page record naming a file other than a
// saved web page stops the build before anything is read. Progress and warnings are called on that
// thread. The book is written to a temporary file beside its place and renamed over it at the end, so a
// failed or cancelled build never leaves a broken book (nor replaces an earlier one).
EpubBuildResult EpubBuildWorker(const EpubBuildParams& params,
                                const EpubProgress& onProgress = {},
                                const EpubWarning& onWarning = {},
                                const std::atomic<bool>* pCancel = nullptr);

// folder + "/" + name + ".epub"; a name already ending in ".epub" (any case) keeps its one extension.
std::string EpubFilePath(const std::string& folder, const std::string& name);

// The book's identifier: a name-based UUID (version 5) of the project's and the book's names, so the
// same project bound under the same name is the same book to a reader, build after build, with nothing
// stored beside the project file.
std::string EpubBookUuid(const std::string& projectName, const std::string& bookName);
