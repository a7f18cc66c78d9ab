#include "DownloadWorker.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "AsciiText.h"
#include "DownloadMessages.h"
#include "HttpFetcher.h"
#include "HttpSession.h"
#include "PageScanner.h"
#include "UrlSequence.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

CEvent g_stopDownloadEvent;

namespace
{

// Text after the last "/" (the whole address when it has none).
std::string lastSegment(const std::string& strUrl)
{
    auto slash = strUrl.rfind('/');
    return slash == std::string::npos ? strUrl : strUrl.substr(slash + 1);
}

bool contains(const std::vector<std::string>& items, const std::string& strItem)
{
    for (const auto& item : items) {
        if (item == strItem) {
            return true;
        }
    }
    return false;
}

// A name that would put a file outside its folder (or nowhere) is replaced by the page's number.
bool isUnsafeName(const std::string& strName)
{
    return strName.empty() || strName == "." || strName == ".." || strName.find_first_of("/\\") != std::string::npos;
}

// The project's folder name: the project name, made unable to leave the save folder.
std::string projectFolderName(std::string strName)
{
    for (char& c : strName) {
        if (c == '/' || c == '\\') {
            c = '_';
        }
    }
    if (strName.empty() || strName == "." || strName == "..") {
        strName = "_";
    }
    return strName;
}

// The page text ends at its first zero byte.
void cutAtZero(std::string& text)
{
    auto zero = text.find('\0');
    if (zero != std::string::npos) {
        text.resize(zero);
    }
}

// A page that declares itself UTF-8 is relabelled and stored in code page 936, so the saved copy and
// its label agree; characters that code page lacks become numeric character references.
void convertUtf8Page(std::string& text)
{
    auto lower = text.find("charset=");
    auto upper = text.find("CHARSET=");
    if (lower == std::string::npos && upper == std::string::npos) {
        return;
    }
    size_t pos = lower == std::string::npos ? upper : upper == std::string::npos ? lower : std::max(lower, upper);
    const std::string label = text.substr(pos, 13);
    if (!ascii::EqualsNoCase(label, "charset=utf-8")) {
        return;
    }
    std::string relabelled;
    relabelled.reserve(text.size() + 16);
    size_t from = 0;
    for (size_t at = text.find(label); at != std::string::npos; at = text.find(label, from)) {
        relabelled.append(text, from, at - from);
        relabelled += "charset=gb2312";
        from = at + label.size();
    }
    relabelled.append(text, from, std::string::npos);
    text = codepage::Utf8ToCp936WithReferences(relabelled);
}

// Titles travel as UTF-8; a title taken from a page stored in code page 936 is converted back.
std::string titleForRecord(const std::string& strTitle)
{
    std::string title = codepage::PageTextToUtf8(strTitle);
    // The record's fields are separated by tabs: a tab inside the title would shift them.
    for (char& c : title) {
        if (c == '\t') {
            c = ' ';
        }
    }
    return title;
}

struct PageList
{
    std::vector<std::string> urls;
    std::vector<std::string> names;
    std::string strExt = ".htm";
};

void buildAddressList(const CDownloadTask& task, PageList& list)
{
    CUrlSequence sequence;
    sequence.SetRange(task.m_strFirstUrl, task.m_strLastUrl);
    sequence.Expand(list.urls, list.names, task.m_nAddCount, list.strExt);
}

// Every page of a job gets a file of its own inside the project folder. A series numbered in a folder
// name (…/05/index.html to …/09/index.html) yields the extension "/index.html" and the same name for
// every page: the extension is cut to the file's own, and a name used before becomes a numbered one.
void makeFileNamesSafe(PageList& list)
{
    auto separator = list.strExt.find_last_of("/\\");
    if (separator != std::string::npos) {
        std::string tail = list.strExt.substr(separator + 1);
        auto dot = tail.rfind('.');
        list.strExt = dot == std::string::npos ? ".htm" : tail.substr(dot);
    }
    for (size_t i = 0; i < list.names.size(); ++i) {
        std::string& name = list.names[i];
        if (isUnsafeName(name)) {
            name = "00" + std::to_string(i + 1);
        }
        if (std::find(list.names.begin(), list.names.begin() + static_cast<std::ptrdiff_t>(i), name) !=
            list.names.begin() + static_cast<std::ptrdiff_t>(i)) {
            name = "000" + std::to_string(i + 1);
        }
    }
}

// The top page is entry 0; its links follow, limited to the range from the first to the last link.
void buildLinkList(CDownloadTask& task, CHttpSession& session, const std::atomic<bool>* pCancel, PageList& list)
{
    std::string body;
    body.reserve(CHttpFetcher::kInitialBufferSize);
    size_t nLength = 0;
    CHttpFetcher fetcher(&session);
    fetcher.SetCancelFlag(pCancel);
    fetcher.Open();
    int nResult = fetcher.Fetch(task.m_strTopUrl, body, nLength, 1);
    if (nResult != 0) {
        fetcher.Close();
        return;
    }
    cutAtZero(body);

    CPageScanner scanner;
    scanner.Reset();
    scanner.SetBaseUrl(task.m_strTopUrl);
    scanner.Parse(body.data(), body.size());

    const std::string& top = task.m_strTopUrl;
    std::string segment = lastSegment(top);
    std::string topName = "0";
    auto dot = segment.rfind('.');
    if (dot != std::string::npos && segment.size() - dot - 1 <= 5) {
        list.strExt = segment.substr(dot);
        topName = segment.substr(0, dot);
    } else if (auto eq = segment.rfind('='); eq != std::string::npos) {
        topName = segment.substr(eq + 1);
    }
    list.urls.push_back(top);
    list.names.push_back(topName);

    bool bInRange = false;
    const auto& links = scanner.Links();
    for (size_t k = 0; k < links.size(); ++k) {
        const std::string& link = links[k];
        if (!bInRange) {
            if (!task.m_strFirstUrl.empty() && link != task.m_strFirstUrl) {
                continue;
            }
            bInRange = true;
        }
        if (!contains(list.urls, link)) {
            std::string linkSegment = lastSegment(link);
            std::string name;
            auto linkDot = linkSegment.rfind('.');
            auto linkEq = linkSegment.rfind('=');
            if (linkDot != std::string::npos && linkSegment.size() - linkDot - 1 <= 5) {
                name = linkSegment.substr(0, linkDot);
            } else if (linkEq != std::string::npos) {
                name = linkSegment.substr(linkEq + 1);
            } else {
                name = "00" + std::to_string(k + 1);
            }
            // Two pages must never share a file, whichever rule named them.
            if ((linkDot != std::string::npos || linkEq != std::string::npos) && contains(list.names, name)) {
                name = "000" + std::to_string(k + 1);
            }
            list.urls.push_back(link);
            list.names.push_back(name);
        }
        if (!task.m_strLastUrl.empty() && link == task.m_strLastUrl) {
            break;
        }
    }
    fetcher.Close();
}

bool stopRequested(const std::atomic<bool>* pCancel)
{
    if (pCancel && pCancel->load()) {
        return true;
    }
    return g_stopDownloadEvent.Wait(0);
}

} // namespace

int DownloadWorker(CDownloadTask* pTask, const std::atomic<bool>* pCancel)
{
    CDownloadTask& task = *pTask;
    if (task.m_nMode != 0 && task.m_nMode != 1) {
        return 0;
    }
    auto notify = [&task](unsigned nMessage, const std::string& strText, int nCode) {
        if (task.m_hNotifyWnd) {
            task.m_hNotifyWnd->OnDownloadMessage(nMessage, strText, nCode);
        }
    };

    CHttpSession session;
    PageList list;
    if (task.m_nMode == 0) {
        buildAddressList(task, list);
    } else {
        buildLinkList(task, session, pCancel, list);
    }
    makeFileNamesSafe(list);

    // Page records carry full paths, so they still name the files from any other current folder.
    const std::string saveFolder =
        files::AbsolutePath(task.m_strSaveFolder.empty() ? files::DocumentsFolder() : task.m_strSaveFolder);
    const std::string projectFolder = files::Join(saveFolder, projectFolderName(task.m_strProjectName)) + "/";
    const std::string projectKey = std::to_string(task.m_hProjectItem);
    const int nTotal = static_cast<int>(list.urls.size());
    int nSaved = 0;
    int nFailed = 0;

    std::string body;
    body.reserve(CHttpFetcher::kInitialBufferSize);
    for (int i = 0; i < nTotal; ++i) {
        if (stopRequested(pCancel)) {
            break;
        }
        std::string strUrl = list.urls[i];
        const std::string& strName = list.names[i];
        const std::string progress = std::to_string(i + 1) + "\t" + std::to_string(nTotal);

        notify(WM_DOWNLOAD_BEGIN, strUrl, 0);

        size_t nLength = 0;
        body.clear();
        CHttpFetcher fetcher(&session);
        fetcher.SetCancelFlag(pCancel);
        fetcher.Open();
        if (fetcher.Fetch(strUrl, body, nLength, 1) != 0) {
            fetcher.Close();
            ++nFailed;
            notify(WM_DOWNLOAD_RESULT, progress, DR_PAGE_FAILED);
            continue;
        }
        cutAtZero(body);
        convertUtf8Page(body);

        CPageScanner scanner;
        scanner.Reset();
        scanner.SetBaseUrl(strUrl);
        scanner.SetPageName(strName);
        scanner.Parse(body.data(), body.size());

        files::CreateFolders(projectFolder);
        const std::string relativeFolder = strName + ".files";
        files::CreateFolder(projectFolder + relativeFolder);
        scanner.SetResourceFolder(projectFolder + relativeFolder);

        for (const auto& resource : scanner.Resources()) {
            bool bOk = scanner.DownloadResource(resource, &session, pCancel);
            notify(WM_DOWNLOAD_RESULT, resource, bOk ? DR_RESOURCE_DONE : DR_RESOURCE_FAILED);
        }

        if (!scanner.RewriteAndSave(relativeFolder, body, list.strExt, task.m_bKeepScripts)) {
            fetcher.Close();
            ++nFailed;
            notify(WM_DOWNLOAD_RESULT, progress, DR_PAGE_FAILED);
            continue;
        }
        ++nSaved;
        const std::string record = projectFolder + strName + list.strExt + "\t" + strUrl + "\t" + projectKey + "\t" +
                                   titleForRecord(scanner.Title()) + "\t" + progress;
        notify(WM_DOWNLOAD_RESULT, record, DR_PAGE_SAVED);
        fetcher.Close();
    }

    const std::string summary = task.m_strProjectName + "\t" + std::to_string(nSaved) + "\t" + std::to_string(nFailed) +
                                "\t" + files::Join(saveFolder, projectFolderName(task.m_strProjectName));
    notify(WM_DOWNLOAD_FINISHED, summary, 0);
    return 0;
}

CDownloadJob::CDownloadJob(const CDownloadTask& task)
    : m_task(task)
{}

CDownloadJob::~CDownloadJob()
{
    Cancel();
    Wait();
}

void CDownloadJob::Start()
{
    if (m_thread.joinable()) {
        return;
    }
    m_bCancel = false;
    m_bFinished = false;
    m_thread = std::thread([this] {
        DownloadWorker(&m_task, &m_bCancel);
        m_bFinished = true;
    });
}

void CDownloadJob::Cancel()
{
    m_bCancel = true;
}

void CDownloadJob::Wait()
{
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
}
