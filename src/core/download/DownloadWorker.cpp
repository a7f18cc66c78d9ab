#include "DownloadWorker.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <unordered_set>
#include <vector>

#include "AsciiText.h"
#include "DownloadMessages.h"
#include "HttpFetcher.h"
#include "HttpSession.h"
#include "JobRecord.h"
#include "JobResources.h"
#include "PageNames.h"
#include "PageScanner.h"
#include "PageTitle.h"
#include "RenderClient.h"
#include "ResourceDownload.h"
#include "TransferQueue.h"
#include "UrlSequence.h"
#include "complete/CompletePage.h"
#include "complete/CompleteSave.h"
#include "complete/MarkupTags.h"
#include "complete/ProjectLinks.h"
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

// Asks the job's browser for a page as its scripts build it; the log hears what the browser left as it
// was and any warning. False when there is no page to save.
bool renderPage(CRenderClient& render,
                const CDownloadTask& task,
                const std::string& strUrl,
                const std::atomic<bool>* pCancel,
                std::string& body,
                std::string& strFinalUrl,
                std::string* pWhy = nullptr)
{
    CRenderClient::Result result = render.Render(strUrl, task.m_nRenderTimeoutMs, pCancel);
    auto note = [&task](const std::string& text) {
        if (task.m_hNotifyWnd) {
            task.m_hNotifyWnd->OnDownloadMessage(WM_DOWNLOAD_NOTE, text, 0);
        }
    };
    for (const std::string& text : result.notes) {
        note("     " + text);
    }
    using Status = CRenderClient::Result::Status;
    switch (result.status) {
    case Status::Ok:
        break;
    case Status::Unsettled:
        note("     the page did not settle within " + std::to_string(task.m_nRenderTimeoutMs / 1000) +
             " s; saved as it was then");
        break;
    case Status::TooLarge:
        note("     the rendered page is larger than 64 MiB; not saved");
        if (pWhy) {
            *pWhy = "the rendered page is larger than 64 MiB";
        }
        return false;
    case Status::Failed:
        if (pWhy) {
            *pWhy = "the browser could not load the page";
        }
        return false;
    case Status::Cancelled:
        if (pWhy) {
            *pWhy = "cancelled";
        }
        return false;
    case Status::Broken:
        note("     the page renderer stopped answering");
        if (pWhy) {
            *pWhy = "the page renderer stopped answering";
        }
        return false;
    }
    body = std::move(result.html);
    strFinalUrl = std::move(result.strUrl);
    return true;
}

struct PageList
{
    std::vector<std::string> urls;
    std::vector<std::string> names;
    std::string strExt = ".htm";
    // Page i's name is reserved in the project folder and neither saved into nor given back yet.
    std::vector<bool> reserved;
    // An update's pages each keep the extension they were saved with.
    std::vector<std::string> exts;
    std::vector<UpdatePage> update;

    const std::string& Ext(size_t i) const { return i < exts.size() ? exts[i] : strExt; }
};

// Gives back every name still reserved: the pages a stop, a cancel or a failure left unsaved.
void releaseNames(PageList& list, const std::string& strProjectFolder)
{
    for (size_t i = 0; i < list.reserved.size() && i < list.names.size(); ++i) {
        if (list.reserved[i]) {
            ReleasePageName(strProjectFolder, list.names[i], list.strExt);
            list.reserved[i] = false;
        }
    }
}

void buildAddressList(const CDownloadTask& task, PageList& list)
{
    CUrlSequence sequence;
    sequence.SetRange(task.m_strFirstUrl, task.m_strLastUrl);
    sequence.Expand(list.urls, list.names, task.m_nAddCount, list.strExt);
}

bool linkPages(const std::string& top,
               const std::string& body,
               const std::string& strFirst,
               const std::string& strLast,
               bool bComplete,
               const std::function<bool()>& stopped,
               PageList& list);

// The top page is entry 0; its links follow, limited to the range from the first to the last link. The top
// page's body is kept in topBody, so it is not asked for twice.
// A stop or cancel while the list is built ends the job with an empty list.
void buildLinkList(CDownloadTask& task,
                   CHttpSession& session,
                   const std::atomic<bool>* pCancel,
                   const std::function<bool()>& stopped,
                   PageList& list,
                   std::string& topBody,
                   CRenderClient* pRender)
{
    std::string body;
    size_t nLength = 0;
    CHttpFetcher fetcher(&session);
    fetcher.SetCancelFlag(pCancel);
    fetcher.Open();
    if (pRender) {
        // The links a script puts on the top page count too.
        std::string strFinalUrl;
        if (!renderPage(*pRender, task, task.m_strTopUrl, pCancel, body, strFinalUrl)) {
            fetcher.Close();
            return;
        }
        convertUtf8Page(body);
    } else if (fetcher.Fetch(task.m_strTopUrl, body, nLength, 1) != 0) {
        fetcher.Close();
        return;
    }
    fetcher.Close();
    cutAtZero(body);
    if (linkPages(task.m_strTopUrl, body, task.m_strFirstUrl, task.m_strLastUrl, task.m_bComplete != 0, stopped,
                  list)) {
        topBody = std::move(body);
    }
}

// The headers that let the server answer 304 when a saved page has not changed since.
void AddConditionHeaders(const UpdatePage& page, std::vector<std::string>& headers)
{
    if (page.kind != UpdatePage::Kind::Saved) {
        return;
    }
    if (!page.strETag.empty()) {
        headers.push_back("If-None-Match: " + page.strETag);
    }
    if (!page.strLastModified.empty()) {
        headers.push_back("If-Modified-Since: " + page.strLastModified);
    }
}

// An update's pages: the plan's, then, when its top page has changed, the links in its range that no
// page of the plan has, named as a further job names them. The top page's answer is kept in top.
void buildUpdateList(const CDownloadTask& task,
                     CHttpSession& session,
                     const std::atomic<bool>* pCancel,
                     const std::function<bool()>& stopped,
                     const std::string& projectFolder,
                     PageList& list,
                     std::optional<TransferResult>& top)
{
    const UpdatePlan& plan = *task.m_pUpdate;
    for (const UpdatePage& page : plan.pages) {
        list.urls.push_back(page.strUrl);
        list.names.push_back(page.strName);
        list.exts.push_back(page.strExt);
        list.update.push_back(page);
    }
    if (!plan.bTopLinks || plan.pages.empty()) {
        return;
    }
    TransferRequest request;
    request.kind = TransferRequest::Kind::Page;
    request.strUrl = plan.pages[0].strUrl;
    request.nMaxRequests = CHttpFetcher::kMaxRequests;
    request.nMaxBytes = CHttpFetcher::kMaxBodySize;
    request.pCancel = pCancel;
    AddConditionHeaders(plan.pages[0], request.headers);
    top = session.Queue().Run(std::move(request));
    if (top->nResult != CHttpFetcher::kFetchOk) {
        return;
    }
    std::string body = top->body;
    cutAtZero(body);
    PageList links;
    if (!linkPages(top->strUrl, body, plan.strFirstLink, plan.strLastLink, task.m_bComplete != 0, stopped, links)) {
        return;
    }
    std::unordered_set<std::string> known(list.urls.begin(), list.urls.end());
    std::vector<std::string> urls;
    std::vector<std::string> names;
    for (size_t k = 1; k < links.urls.size(); ++k) {
        if (known.insert(links.urls[k]).second) {
            urls.push_back(links.urls[k]);
            names.push_back(links.names[k]);
        }
    }
    if (!MakePageNamesUnique(names, links.strExt, projectFolder, stopped)) {
        return;
    }
    // Never the name of a page of the plan that is not on disk yet.
    CPageNameSet taken(std::string(), links.strExt);
    for (size_t i = 0; i < list.names.size(); ++i) {
        if (list.exts[i] == links.strExt) {
            taken.Take(list.names[i]);
        }
    }
    for (size_t k = 0; k < urls.size(); ++k) {
        UpdatePage page;
        page.kind = UpdatePage::Kind::New;
        page.strUrl = urls[k];
        page.strName = taken.Take(names[k]);
        page.strExt = links.strExt;
        list.urls.push_back(page.strUrl);
        list.names.push_back(page.strName);
        list.exts.push_back(page.strExt);
        list.update.push_back(std::move(page));
    }
}

// The top page top (its body read) as entry 0 and its links in the range from strFirst to strLast (each
// may be empty), each with the page name it is saved under. False, with an empty list, when stopped.
bool linkPages(const std::string& top,
               const std::string& body,
               const std::string& strFirst,
               const std::string& strLast,
               bool bComplete,
               const std::function<bool()>& stopped,
               PageList& list)
{
    CPageScanner scanner;
    scanner.Reset();
    scanner.SetBaseUrl(markup::DocumentBase(body, top));
    // A complete job follows "page.html#top" as page.html, once.
    scanner.SetFollowFragments(bComplete);
    scanner.Parse(body.data(), body.size());

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

    // Looked up once per link: with tens of thousands of links a scan of the list each time would take minutes.
    std::unordered_set<std::string> urls{top};
    std::unordered_set<std::string> names{topName};
    bool bInRange = false;
    const auto& links = scanner.Links();
    for (size_t k = 0; k < links.size(); ++k) {
        if (k % 256 == 0 && stopped()) {
            list = PageList();
            return false;
        }
        const std::string& link = links[k];
        if (!bInRange) {
            if (!strFirst.empty() && link != strFirst) {
                continue;
            }
            bInRange = true;
        }
        if (urls.insert(link).second) {
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
            if ((linkDot != std::string::npos || linkEq != std::string::npos) && names.count(name) != 0) {
                name = "000" + std::to_string(k + 1);
            }
            names.insert(name);
            list.urls.push_back(link);
            list.names.push_back(name);
        }
        if (!strLast.empty() && link == strLast) {
            break;
        }
    }
    return true;
}

// A resource file name that stays inside the page's folder.
bool IsSafeResourceName(const std::string& strName)
{
    return !strName.empty() && strName != "." && strName != ".." && strName.find_first_of("/\\") == std::string::npos;
}

// The transfer limits of a job: nConnections at once (at most 16), at most four of them (or half, when
// more than eight) to one host, and the job's pause between requests to one host.
void setTransferLimits(const CDownloadTask& task, CTransferQueue& queue)
{
    const int nConnections = std::clamp(task.m_nConnections, 1, 16);
    queue.SetLimits(nConnections, std::min(nConnections, std::max(4, nConnections / 2)), std::max(0, task.m_nWaitMs));
}

// One job's pages, run ahead of what has been reported: once a page's body is in, the next page's body
// (and then its resources) is fetched while the current page's resources finish. Reports go out strictly in page order,
// each page's resources in the page's order, exactly as if the job fetched one thing at a time.
// True when the job is cancelled or told to stop, by its own flags or by the stop event (which it
// then takes).
bool stopAsked(const std::atomic<bool>* pCancel, const std::atomic<bool>* pStop)
{
    return (pCancel && pCancel->load()) || (pStop && pStop->load()) || g_stopDownloadEvent.Wait(0);
}

class CPageRun
{
public:
    CPageRun(CDownloadTask& task,
             CHttpSession& session,
             const std::atomic<bool>* pCancel,
             const std::atomic<bool>* pStop,
             PageList& list,
             CRenderClient* pRender)
        : m_task(task)
        , m_queue(session.Queue())
        , m_pCancel(pCancel)
        , m_pStop(pStop)
        , m_list(list)
        , m_pages(list.urls.size())
        , m_pRender(pRender)
    {}

    ~CPageRun()
    {
        for (const auto& [url, path] : m_sheetCopies) {
            std::error_code ec;
            std::filesystem::remove(path, ec);
        }
    }
    CPageRun(const CPageRun&) = delete;
    CPageRun& operator=(const CPageRun&) = delete;

    // The top page of a link job, fetched already to build the list.
    void SetFetched(int i, std::string body)
    {
        TransferResult result;
        result.nResult = CHttpFetcher::kFetchOk;
        result.nStatus = 200;
        result.strUrl = m_list.urls[i];
        result.body = std::move(body);
        setFetched(i, result);
    }
    // The same with the whole answer (an update's top page, which may have been answered 304).
    void SetFetched(int i, TransferResult& result) { setFetched(i, result); }

    // Saves the pages in order; returns the saved and failed counts.
    std::pair<int, int> Run(const std::string& projectFolder);
    // The pages saved, each under the address it came from and, when a redirect led elsewhere, the
    // address the list named.
    const std::vector<HeldPage>& Saved() const { return m_saved; }

private:
    struct Page
    {
        enum class State
        {
            Idle,
            Fetching,
            Fetched, // body here, not scanned yet
            Ready    // scanned; its resources queued
        };
        State state = State::Idle;
        int nResult = CHttpFetcher::kFetchFailed;
        long nStatus = 0;
        std::string strUrl;
        std::string body;
        std::string strWhy; // why the fetch failed
        std::string strETag;
        std::string strLastModified;
        std::string strDigest;   // of the body as it came, when the job keeps a record or updates
        bool bUnchanged = false; // an update's page answered 304 or with the bytes it had
        std::string strTitle;    // as the record holds it
        std::vector<std::string> resources;
        std::unique_ptr<CCompletePage> complete; // a complete job's reading of the page
    };

    // A page's slot is made when it is first needed and freed once the page is done with, so a job holds
    // nothing for the pages it has saved (an empty Page assigned over it would keep the body's buffer: a
    // string assigned an empty one keeps its capacity).
    Page& pageAt(int i)
    {
        if (!m_pages[i]) {
            m_pages[i] = std::make_unique<Page>();
        }
        return *m_pages[i];
    }
    void release(int i) { m_pages[i].reset(); }
    void notify(unsigned nMessage, const std::string& strText, int nCode)
    {
        if (m_task.m_hNotifyWnd) {
            m_task.m_hNotifyWnd->OnDownloadMessage(nMessage, strText, nCode);
        }
    }
    bool stopRequested();
    void pageFailed(int i, const std::string& strProgress, const std::string& strWhy);
    void pageSaved(int i);
    void setFetched(int i, TransferResult& result);
    void startFetch(int i);
    // An update's page i ended so (a job that is no update is told of nothing).
    void outcome(int i, PageOutcome result)
    {
        if (m_task.m_pRecorder && !m_list.update.empty()) {
            m_task.m_pRecorder->OnPageOutcome(i, m_list.urls[i], result);
        }
    }
    void recordPage(int i, const Page& page, const std::string& strPath)
    {
        if (m_task.m_pRecorder) {
            m_task.m_pRecorder->OnPageSaved({m_list.urls[i], page.strUrl, strPath, page.strTitle, page.strETag,
                                             page.strLastModified, page.strDigest});
        }
    }
    void recordResource(const std::string& strUrl, const std::string& strPath);
    // Puts the project's copy of a page about to be saved again in the history folder. False when
    // it cannot be kept (then the page is not written over).
    bool keepEarlierCopy(const std::string& strPath);
    void scanFetched();
    void queueResource(const std::string& strUrl,
                       int nPage,
                       const std::string& strTempName = std::string(),
                       const std::string& strReferer = std::string());
    void fetchRequisites(std::vector<RequisiteTransfer>& batch, int nPage);
    void step(int nCurrent);
    void feedAhead(int nCurrent);

    // While a page waits for its resources, the bodies of at most this many pages after it are fetched.
    static constexpr int kPagesAhead = 4;

    CDownloadTask& m_task;
    CTransferQueue& m_queue;
    const std::atomic<bool>* m_pCancel;
    const std::atomic<bool>* m_pStop;
    PageList& m_list;
    std::vector<std::unique_ptr<Page>> m_pages; // null: idle, or done with
    CJobResources m_resources;
    CRenderClient* m_pRender; // pages come from the job's browser; none when the job is not rendered
    std::string m_strStaging; // the project folder: fetched resources wait there for their page
    int m_nScanned = 0;       // pages before this one are scanned (or failed)
    bool m_bStopSeen = false;
    int m_nCurrent = 0;
    std::vector<HeldPage> m_saved;
    // The style sheets of a complete job as they came, kept on disk (a hard link where it can be): a
    // page's copy is rewritten for that page, and a later page must read the sheet as the server wrote
    // it. Removed when the run ends.
    std::map<std::string, std::string> m_sheetCopies;
    // Validators and digest of each resource fetched, for the record.
    std::map<std::string, SavedTransfer> m_resourceMeta;
};

// Makes to a copy of from (a hard link where the file system has them), replacing what is there.
bool linkOrCopy(const std::string& from, const std::string& to)
{
    std::error_code ec;
    std::filesystem::remove(to, ec);
    std::filesystem::create_hard_link(from, to, ec);
    if (ec) {
        ec.clear();
        std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec);
    }
    return !ec;
}

void CPageRun::setFetched(int i, TransferResult& result)
{
    Page& page = pageAt(i);
    page.state = Page::State::Fetched;
    page.nResult = result.nResult;
    page.nStatus = result.nStatus;
    page.strUrl = std::move(result.strUrl);
    page.body = std::move(result.body);
    page.strWhy = std::move(result.strWhy);
    page.strETag = std::move(result.strETag);
    page.strLastModified = std::move(result.strLastModified);
    if (page.nResult == CHttpFetcher::kFetchOk && (m_task.m_pRecorder || !m_list.update.empty())) {
        page.strDigest = ContentDigest(page.body);
    }
    if (static_cast<size_t>(i) < m_list.update.size()) {
        const UpdatePage& known = m_list.update[i];
        page.bUnchanged = known.kind == UpdatePage::Kind::Saved &&
                          (page.nStatus == 304 || (page.nResult == CHttpFetcher::kFetchOk && !known.strDigest.empty() &&
                                                   known.strDigest == page.strDigest));
        if (page.bUnchanged) {
            // Nothing of it is read or saved again.
            page.nResult = CHttpFetcher::kFetchFailed;
            page.body.clear();
        }
    }
}

void CPageRun::recordResource(const std::string& strUrl, const std::string& strPath)
{
    if (!m_task.m_pRecorder) {
        return;
    }
    SavedTransfer resource;
    auto meta = m_resourceMeta.find(strUrl);
    if (meta != m_resourceMeta.end()) {
        resource = meta->second;
    }
    resource.strListUrl = strUrl;
    resource.strUrl = strUrl;
    resource.strLocalFile = strPath;
    m_task.m_pRecorder->OnResourceSaved(resource);
}

bool CPageRun::keepEarlierCopy(const std::string& strPath)
{
    std::string earlier;
    if (!files::IsRegularFile(strPath)) {
        return true;
    }
    const std::string& strHistory = m_task.m_pUpdate->strHistoryFolder;
    return files::ReadFile(strPath, earlier) && files::CreateFolders(strHistory) &&
           files::WriteFile(files::Join(strHistory, files::FileName(strPath)), earlier);
}

// A stop is taken once, by the first poll that sees it; from then on the job ends after its current page.
bool CPageRun::stopRequested()
{
    if (!m_bStopSeen && stopAsked(m_pCancel, m_pStop)) {
        m_bStopSeen = true;
        // Nothing ahead of the current page is wanted any more, and nobody is waited for.
        m_queue.EndWaits();
        m_queue.AbandonGroupsAbove(m_nCurrent);
        m_resources.ForgetPagesAbove(m_nCurrent);
        for (size_t j = m_nCurrent + 1; j < m_pages.size(); ++j) {
            if (m_pages[j] && m_pages[j]->state == Page::State::Fetching) {
                m_pages[j]->state = Page::State::Idle;
            }
        }
    }
    return m_bStopSeen;
}

// A page not saved: reported with its cause, and nothing it left stays (its reserved name is given
// back, its resource folder goes with what was placed in it). An update's page that the project holds
// keeps its files.
void CPageRun::pageFailed(int i, const std::string& strProgress, const std::string& strWhy)
{
    const std::string resourceFolder = m_strStaging + m_list.names[i] + ".files";
    const bool bHeld =
        static_cast<size_t>(i) < m_list.update.size() && m_list.update[i].kind == UpdatePage::Kind::Saved;
    m_resources.ForgetPlacedIn(resourceFolder);
    if (m_list.reserved[i]) {
        ReleasePageName(m_strStaging, m_list.names[i], m_list.strExt);
        m_list.reserved[i] = false;
    } else if (!bHeld && m_pages[i] && m_pages[i]->state == Page::State::Ready &&
               m_pages[i]->nResult == CHttpFetcher::kFetchOk) {
        files::RemoveTree(resourceFolder); // made for this page by the save
    }
    outcome(i, PageOutcome::Failed);
    notify(WM_DOWNLOAD_RESULT, strProgress + "\t" + (strWhy.empty() ? std::string("unknown error") : strWhy),
           DR_PAGE_FAILED);
}

// The page's reserved name is its own now.
void CPageRun::pageSaved(int i)
{
    m_list.reserved[i] = false;
}

void CPageRun::startFetch(int i)
{
    Page& page = pageAt(i);
    if (page.state != Page::State::Idle) {
        return;
    }
    if (m_pRender) {
        // The browser renders one page at a time, the one being saved: a page rendered ahead would
        // hold up the current page's files meanwhile.
        if (i != m_nCurrent) {
            return;
        }
        page.state = Page::State::Fetched;
        page.strUrl = m_list.urls[i];
        page.nResult = renderPage(*m_pRender, m_task, m_list.urls[i], m_pCancel, page.body, page.strUrl, &page.strWhy)
                           ? CHttpFetcher::kFetchOk
                           : CHttpFetcher::kFetchFailed;
        return;
    }
    page.state = Page::State::Fetching;
    TransferRequest request;
    request.kind = TransferRequest::Kind::Page;
    request.strUrl = m_list.urls[i];
    request.nMaxRequests = CHttpFetcher::kMaxRequests;
    request.nMaxBytes = CHttpFetcher::kMaxBodySize;
    request.pCancel = m_pCancel;
    request.nGroup = i;
    // A body brings the page's resources with it: it goes before resources already waiting.
    request.bAhead = true;
    if (static_cast<size_t>(i) < m_list.update.size()) {
        AddConditionHeaders(m_list.update[i], request.headers);
    }
    request.onDone = [this, i](TransferResult& result) { setFetched(i, result); };
    m_queue.Add(std::move(request));
}

void CPageRun::queueResource(const std::string& strUrl,
                             int nPage,
                             const std::string& strTempName,
                             const std::string& strReferer)
{
    if (m_resources.StateOf(strUrl) != CJobResources::State::Unknown) {
        return;
    }
    m_resources.Started(strUrl, nPage);
    TransferRequest request;
    request.kind = TransferRequest::Kind::File;
    request.strUrl = strUrl;
    request.strTempFolder = m_strStaging;
    request.strTempName = strTempName.empty() ? CPageScanner::ResourceFileName(strUrl) : strTempName;
    if (!strReferer.empty()) {
        request.headers.push_back("Referer: " + strReferer);
    }
    request.nMaxBytes = kMaxResourceSize;
    request.pCancel = m_pCancel;
    request.nGroup = nPage;
    request.onDone = [this, strUrl](TransferResult& result) {
        if (result.nResult == 0) {
            if (m_task.m_pRecorder) {
                SavedTransfer& meta = m_resourceMeta[strUrl];
                meta.strETag = result.strETag;
                meta.strLastModified = result.strLastModified;
                meta.strDigest = FileDigest(result.strFile);
            }
            m_resources.Fetched(strUrl, result.strFile);
        } else {
            m_resources.Failed(strUrl, result.strWhy);
        }
    };
    m_queue.Add(std::move(request));
}

// Scans fetched pages in page order and queues their resources behind those of earlier pages.
void CPageRun::scanFetched()
{
    while (m_nScanned < static_cast<int>(m_pages.size())) {
        Page& page = pageAt(m_nScanned);
        if (page.state != Page::State::Fetched) {
            return;
        }
        if (page.nResult == CHttpFetcher::kFetchOk) {
            cutAtZero(page.body);
            convertUtf8Page(page.body);
            CPageScanner scanner;
            scanner.Reset();
            scanner.SetBaseUrl(markup::DocumentBase(page.body, page.strUrl));
            scanner.SetPageName(m_list.names[m_nScanned]);
            scanner.Parse(page.body.data(), page.body.size());
            page.strTitle = PageTitleText(scanner.Title(), page.body);
            files::CreateFolders(m_strStaging);
            if (m_task.m_bComplete || m_pRender) {
                // What the page needs is read by the complete pass instead; its files are asked for now.
                page.complete = std::make_unique<CCompletePage>(
                    page.body, page.strUrl, m_list.names[m_nScanned] + ".files", m_task.m_bKeepScripts != 0);
                for (std::size_t k : page.complete->Pending()) {
                    const Requisite& requisite = page.complete->Requisites()[k];
                    queueResource(requisite.strUrl, m_nScanned, requisite.strFileName, page.strUrl);
                }
            } else {
                page.resources = scanner.Resources();
                for (const auto& resource : page.resources) {
                    if (IsSafeResourceName(CPageScanner::ResourceFileName(resource))) {
                        queueResource(resource, m_nScanned);
                    }
                }
            }
        }
        page.state = Page::State::Ready;
        ++m_nScanned;
    }
}

// Fetches one round of a complete page's files: all are queued first, so they come together, then each is
// waited for and placed in the page's folder.
void CPageRun::fetchRequisites(std::vector<RequisiteTransfer>& batch, int nPage)
{
    for (const RequisiteTransfer& t : batch) {
        queueResource(t.strUrl, nPage, files::FileName(t.strPath), t.strReferer);
    }
    for (RequisiteTransfer& t : batch) {
        for (;;) {
            const auto state = m_resources.StateOf(t.strUrl);
            if (state == CJobResources::State::Unknown) {
                queueResource(t.strUrl, nPage, files::FileName(t.strPath), t.strReferer);
            } else if (state == CJobResources::State::Ready) {
                t.bOk = m_resources.Place(t.strUrl, t.strPath, &t.strWhy);
                break;
            } else if (state == CJobResources::State::Failed) {
                t.strWhy = m_resources.WhyFailed(t.strUrl);
                break;
            } else {
                feedAhead(nPage);
                step(nPage);
            }
        }
        if (!t.bOk || !t.bStyleSheet) {
            continue;
        }
        if (auto kept = m_sheetCopies.find(t.strUrl); kept != m_sheetCopies.end()) {
            if (!linkOrCopy(kept->second, t.strPath)) {
                t.bOk = false;
                t.strWhy = "cannot copy the style sheet to " + t.strPath;
            }
            continue;
        }
        std::string copy;
        const int fd = files::CreateTempBeside(files::Join(m_strStaging, "sheet"), copy);
        if (fd >= 0) {
            ::close(fd);
            if (linkOrCopy(t.strPath, copy)) {
                m_sheetCopies.emplace(t.strUrl, copy);
            } else {
                std::error_code ec;
                std::filesystem::remove(copy, ec);
            }
        }
    }
}

// Moves the transfers on a little while the current page waits.
void CPageRun::step(int nCurrent)
{
    m_nCurrent = nCurrent;
    stopRequested();
    m_queue.Poll(100);
    scanFetched();
}

// Keeps the transfers busy while the current page waits for its resources: when little is left to
// start, the body of the next page not asked for yet goes out (once the one before it is in).
void CPageRun::feedAhead(int nCurrent)
{
    if (m_bStopSeen || static_cast<int>(m_queue.Waiting()) >= m_queue.TotalLimit()) {
        return;
    }
    const int nLast = std::min(nCurrent + kPagesAhead, static_cast<int>(m_pages.size()) - 1);
    for (int j = nCurrent + 1; j <= nLast; ++j) {
        if (pageAt(j).state == Page::State::Idle) {
            if (pageAt(j - 1).state == Page::State::Ready) {
                startFetch(j);
            }
            return;
        }
    }
}

std::pair<int, int> CPageRun::Run(const std::string& projectFolder)
{
    m_strStaging = projectFolder;
    const std::string projectKey = std::to_string(m_task.m_hProjectItem);
    const int nTotal = static_cast<int>(m_pages.size());
    int nSaved = 0;
    int nFailed = 0;
    int nMissingInARow = 0;
    int nFound = 0; // pages found after the end of a series
    for (int i = 0; i < nTotal; ++i) {
        m_nCurrent = i;
        if (stopRequested()) {
            break;
        }
        if (static_cast<size_t>(i) < m_list.update.size() && m_list.update[i].kind == UpdatePage::Kind::Probe &&
            nFound >= m_task.m_pUpdate->nMaxNew) {
            break;
        }
        const std::string& strName = m_list.names[i];
        const std::string progress = std::to_string(i + 1) + "\t" + std::to_string(nTotal);

        notify(WM_DOWNLOAD_BEGIN, m_list.urls[i], 0);
        startFetch(i);
        // An update asks for the saved pages after this one at once, as many as it has connections: most
        // are answered 304 without a body, and one after another each would cost a round trip.
        for (int j = i + 1;
             j < nTotal && j <= i + std::clamp(m_task.m_nConnections, 1, 16) &&
             static_cast<size_t>(j) < m_list.update.size() && m_list.update[j].kind == UpdatePage::Kind::Saved;
             ++j) {
            startFetch(j);
        }
        scanFetched();
        while (pageAt(i).state != Page::State::Ready) {
            step(i);
        }
        // With this page's body in, the next page is asked for while this one's resources come, unless
        // the job has been told to stop.
        if (i + 1 < nTotal && !stopRequested()) {
            startFetch(i + 1);
        }
        Page& page = pageAt(i);
        const UpdatePage* pKnown = static_cast<size_t>(i) < m_list.update.size() ? &m_list.update[i] : nullptr;
        const bool bProbe = pKnown && pKnown->kind == UpdatePage::Kind::Probe;
        if (page.bUnchanged) {
            outcome(i, PageOutcome::Unchanged);
            release(i);
            continue;
        }
        if (page.nResult != CHttpFetcher::kFetchOk && bProbe) {
            outcome(i, PageOutcome::Missing);
            release(i);
            if (++nMissingInARow >= m_task.m_pUpdate->nMissingInARow) {
                break;
            }
            continue;
        }
        if (page.nResult != CHttpFetcher::kFetchOk && pKnown && pKnown->kind == UpdatePage::Kind::Saved &&
            (page.nStatus == 404 || page.nStatus == 410)) {
            // The site removed it; the project keeps its copy.
            outcome(i, PageOutcome::Removed);
            release(i);
            continue;
        }
        if (page.nResult != CHttpFetcher::kFetchOk) {
            ++nFailed;
            pageFailed(i, progress, page.strWhy);
            release(i);
            continue;
        }
        const std::string& strExt = m_list.Ext(i);
        const std::string strPagePath = projectFolder + strName + strExt;
        const bool bAgain = pKnown && pKnown->kind == UpdatePage::Kind::Saved;
        if (bProbe) {
            nMissingInARow = 0;
        }
        // An update's page saved again ends so; a probe found counts towards the most an update looks for.
        auto savedOutcome = [&] {
            if (bProbe) {
                ++nFound;
            }
            outcome(i, bAgain ? PageOutcome::Updated : PageOutcome::New);
        };

        files::CreateFolders(projectFolder);
        const std::string relativeFolder = strName + ".files";
        const std::string resourceFolder = projectFolder + relativeFolder;
        files::CreateFolder(resourceFolder);

        // An update's changed page: its earlier copy is kept before anything is written over it.
        auto keepFailed = [&] {
            if (!bAgain || keepEarlierCopy(strPagePath)) {
                return false;
            }
            ++nFailed;
            pageFailed(i, progress, "the earlier copy could not be kept in the history folder");
            release(i);
            return true;
        };
        if (page.complete) {
            if (keepFailed()) {
                continue;
            }
            CompleteSaveTarget target;
            target.strPageUrl = page.strUrl;
            target.strResourceFolder = resourceFolder;
            target.strPagePath = strPagePath;
            target.bKeepScripts = m_task.m_bKeepScripts;
            // The browser hands over the pictures a page made itself as data: addresses.
            target.bInlinePictures = m_pRender != nullptr;
            std::string strWhy;
            const bool bOk = SaveCompletePage(
                *page.complete, target, [this, i](std::vector<RequisiteTransfer>& batch) { fetchRequisites(batch, i); },
                [this](const RequisiteTransfer& t) {
                    if (t.bOk) {
                        recordResource(t.strUrl, t.strPath);
                    }
                    notify(WM_DOWNLOAD_RESULT, t.bLeftOut ? t.strUrl + " (left out: " + t.strWhy + ")" : t.strUrl,
                           t.bOk ? DR_RESOURCE_DONE : DR_RESOURCE_FAILED);
                },
                m_pCancel, &strWhy);
            if (!bOk && m_pCancel && m_pCancel->load()) {
                // Cut off by a cancel, like a plain page: not saved, and the job ends.
                ++nFailed;
                pageFailed(i, progress, "cancelled");
                break;
            }
            if (!bOk) {
                ++nFailed;
                pageFailed(i, progress, strWhy);
                release(i);
                continue;
            }
            ++nSaved;
            pageSaved(i);
            recordPage(i, pageAt(i), target.strPagePath);
            savedOutcome();
            m_saved.push_back({page.strUrl, target.strPagePath});
            if (m_list.urls[i] != page.strUrl) {
                m_saved.push_back({m_list.urls[i], target.strPagePath});
            }
            const std::string record =
                target.strPagePath + "\t" + page.strUrl + "\t" + projectKey + "\t" + page.strTitle + "\t" + progress;
            release(i);
            notify(WM_DOWNLOAD_RESULT, record, DR_PAGE_SAVED);
            continue;
        }

        for (const auto& resource : page.resources) {
            const std::string fileName = CPageScanner::ResourceFileName(resource);
            bool bOk = false;
            if (IsSafeResourceName(fileName)) {
                for (;;) {
                    const auto state = m_resources.StateOf(resource);
                    if (state == CJobResources::State::Unknown) {
                        queueResource(resource, i);
                    } else if (state == CJobResources::State::Ready) {
                        bOk = m_resources.Place(resource, resourceFolder + "/" + fileName);
                        if (bOk) {
                            recordResource(resource, resourceFolder + "/" + fileName);
                        }
                        break;
                    } else if (state == CJobResources::State::Failed) {
                        break;
                    } else {
                        feedAhead(i);
                        step(i);
                    }
                }
            }
            notify(WM_DOWNLOAD_RESULT, resource, bOk ? DR_RESOURCE_DONE : DR_RESOURCE_FAILED);
        }

        // A cancel cut this page's pictures off: it would point at files that are not there, so it is
        // not saved and counts as failed.
        if (m_pCancel && m_pCancel->load()) {
            ++nFailed;
            pageFailed(i, progress, "cancelled");
            break;
        }
        if (bAgain && pKnown->strDigest.empty()) {
            // No record of how the page came: it is unchanged when it would be saved as it is.
            std::string saved;
            const std::string_view body(page.body.data(), std::min(page.body.size(), page.body.find('\0')));
            if (files::ReadFile(strPagePath, saved) &&
                saved == CPageScanner::Rewrite(body, relativeFolder, m_task.m_bKeepScripts)) {
                outcome(i, PageOutcome::Unchanged);
                release(i);
                continue;
            }
        }
        if (keepFailed()) {
            continue;
        }
        CPageScanner scanner;
        scanner.SetPageName(strName);
        scanner.SetResourceFolder(resourceFolder);
        std::string strWhy;
        if (!scanner.RewriteAndSave(relativeFolder, page.body, strExt, m_task.m_bKeepScripts, &strWhy)) {
            ++nFailed;
            pageFailed(i, progress, strWhy);
            release(i);
            continue;
        }
        ++nSaved;
        pageSaved(i);
        recordPage(i, page, strPagePath);
        savedOutcome();
        const std::string record =
            strPagePath + "\t" + page.strUrl + "\t" + projectKey + "\t" + page.strTitle + "\t" + progress;
        release(i);
        notify(WM_DOWNLOAD_RESULT, record, DR_PAGE_SAVED);
    }
    // Whatever ran ahead is dropped with its files.
    m_queue.AbandonGroupsAbove(-1);
    return {nSaved, nFailed};
}

// The job's cookies as lines of a Netscape cookie file, for its browser.
std::vector<std::string> RenderCookieLines(const CDownloadTask& task)
{
    std::vector<std::string> lines;
    std::string text;
    if (!task.m_strCookieFile.empty() && files::ReadFile(task.m_strCookieFile, text, nullptr, 16u << 20)) {
        size_t from = 0;
        while (from < text.size()) {
            size_t end = text.find('\n', from);
            std::string line = text.substr(from, end == std::string::npos ? std::string::npos : end - from);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            lines.push_back(std::move(line));
            from = end == std::string::npos ? text.size() : end + 1;
        }
    }
    lines.insert(lines.end(), task.m_cookies.begin(), task.m_cookies.end());
    return lines;
}

} // namespace

int DownloadWorker(CDownloadTask* pTask, const std::atomic<bool>* pCancel, const std::atomic<bool>* pStop)
{
    CDownloadTask& task = *pTask;
    if (task.m_nMode < 0 || task.m_nMode > 2 || (task.m_nMode == 2 && !task.m_pUpdate)) {
        return 0;
    }

    // A stop is taken by the first poll that sees it: one seen while the list is built ends the job there.
    bool bStopped = false;
    auto stopped = [&] {
        bStopped = bStopped || stopAsked(pCancel, pStop);
        return bStopped;
    };
    // Page records carry full paths, so they still name the files from any other current folder.
    const std::string saveFolder =
        files::AbsolutePath(task.m_strSaveFolder.empty() ? files::DocumentsFolder() : task.m_strSaveFolder);
    const std::string projectFolder = files::Join(saveFolder, ProjectFolderName(task.m_strProjectName)) + "/";

    CHttpSession session;
    session.SetCookies(task.m_strCookieFile, task.m_cookies);
    // Set before the top page of a link job is fetched, so the pause after it holds too.
    setTransferLimits(task, session.Queue());
    std::unique_ptr<CRenderClient> render;
    std::string strRenderWhy;
    if (task.m_bRender) {
        render = std::make_unique<CRenderClient>();
        if (render->Start(pCancel, &strRenderWhy)) {
            for (const std::string& line : RenderCookieLines(task)) {
                render->AddCookie(line);
            }
        } else {
            render.reset();
        }
    }
    PageList list;
    std::string topBody;
    std::optional<TransferResult> top;
    if (task.m_bRender && !render) {
        // Without its browser a rendered job saves nothing rather than pages without their content.
        if (task.m_hNotifyWnd) {
            task.m_hNotifyWnd->OnDownloadMessage(WM_DOWNLOAD_NOTE, "Cannot render pages: " + strRenderWhy, 0);
        }
    } else if (task.m_nMode == 0) {
        buildAddressList(task, list);
    } else if (task.m_nMode == 1) {
        buildLinkList(task, session, pCancel, stopped, list, topBody, render.get());
    } else {
        buildUpdateList(task, session, pCancel, stopped, projectFolder, list, top);
    }
    // No page is written over another of the job, over one an earlier job saved in the project folder or
    // over one another job running now chose: each name is reserved there as it is chosen. An update
    // names its pages itself, some of them the project's own.
    const bool bFolderExisted = files::IsFolder(projectFolder);
    if (!bStopped && !list.names.empty()) {
        files::CreateFolders(projectFolder);
    }
    if (bStopped ||
        (task.m_nMode != 2 && !MakePageNamesUnique(list.names, list.strExt, projectFolder, stopped, &list.reserved))) {
        releaseNames(list, projectFolder);
        list = PageList();
    }
    list.reserved.resize(list.names.size(), false);
    if (task.m_pRecorder && !list.urls.empty()) {
        std::vector<std::string> exts;
        for (size_t i = 0; i < list.urls.size(); ++i) {
            exts.push_back(list.Ext(i));
        }
        task.m_pRecorder->OnJobList(list.urls, list.names, exts);
    }
    std::pair<int, int> counts{0, 0};
    std::vector<HeldPage> held;
    {
        CPageRun run(task, session, pCancel, pStop, list, render.get());
        if (task.m_nMode == 1 && !list.urls.empty()) {
            run.SetFetched(0, std::move(topBody));
        } else if (top && !list.urls.empty()) {
            run.SetFetched(0, *top);
        }
        counts = run.Run(projectFolder);
        held = run.Saved();
    }
    releaseNames(list, projectFolder);
    if (!bFolderExisted && counts.first == 0) {
        // The folder was made for pages none of which was saved (stopped, cancelled or failed): it goes
        // if nothing is in it.
        std::error_code ec;
        std::filesystem::remove(std::filesystem::path(projectFolder).parent_path(), ec);
    }
    // No browser process outlives the pages it rendered.
    render.reset();
    if (task.m_bComplete || task.m_bRender) {
        // Links between the project's pages lead to the saved files, the new pages' and the earlier ones'
        // alike; the new pages come first, so an address saved again leads to its new file.
        held.insert(held.end(), task.m_projectPages.begin(), task.m_projectPages.end());
        // A cancel, or a stop that comes while it runs, ends the pass: with many pages it takes a while.
        const bool bStoppedBefore = pStop && pStop->load();
        RewriteProjectLinks(held, projectFolder, [&] {
            return (pCancel && pCancel->load()) || (pStop && pStop->load() && !bStoppedBefore) ||
                   g_stopDownloadEvent.Wait(0);
        });
    }

    const std::string summary = task.m_strProjectName + "\t" + std::to_string(counts.first) + "\t" +
                                std::to_string(counts.second) + "\t" +
                                files::Join(saveFolder, ProjectFolderName(task.m_strProjectName));
    if (task.m_hNotifyWnd) {
        task.m_hNotifyWnd->OnDownloadMessage(WM_DOWNLOAD_FINISHED, summary, 0);
    }
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
    m_bStop = false;
    m_bFinished = false;
    m_thread = std::thread([this] {
        DownloadWorker(&m_task, &m_bCancel, &m_bStop);
        m_bFinished = true;
    });
}

void CDownloadJob::Stop()
{
    m_bStop = true;
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
