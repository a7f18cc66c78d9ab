#include "ProjectUpdate.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <memory>
#include <set>

#include "ProjectRecord.h"
#include "download/DownloadMessages.h"
#include "download/DownloadTask.h"
#include "download/DownloadWorker.h"
#include "download/PageNames.h"
#include "download/UrlSequence.h"
#include "platform/Files.h"
#include "project/PageFiles.h"
#include "project/ProjectFileAppend.h"
#include "project/ProjectStore.h"

namespace
{

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A saved page's file name split into the name a job gave it and its extension. The name is the one
// its resource folder carries (ch01.zh-cn for ch01.zh-cn.zh-cn.html beside ch01.zh-cn.files), so a
// changed page keeps its pictures where they are.
void splitFileName(const std::string& strFolderSlash,
                   const std::string& strFile,
                   std::string& strName,
                   std::string& strExt)
{
    const std::string strResources = files::FileName(ResourceFolderOf(strFolderSlash + strFile));
    const std::string strStem = strResources.substr(0, strResources.size() - std::string(".files").size());
    if (!strStem.empty() && strFile.size() > strStem.size() && strFile.compare(0, strStem.size(), strStem) == 0 &&
        strFile[strStem.size()] == '.') {
        strName = strStem;
        strExt = strFile.substr(strStem.size());
        return;
    }
    const auto dot = strFile.rfind('.');
    strName = dot == std::string::npos ? strFile : strFile.substr(0, dot);
    strExt = dot == std::string::npos ? std::string() : strFile.substr(dot);
}

// Passes the job's record on to the project's record and keeps what the update reports.
class CUpdateRecorder final : public IJobRecorder
{
public:
    explicit CUpdateRecorder(CProjectRecord* pRecord)
        : m_pRecord(pRecord)
    {}

    void OnJobList(const std::vector<std::string>&,
                   const std::vector<std::string>&,
                   const std::vector<std::string>&) override
    {}
    void OnPageSaved(const SavedTransfer& page) override
    {
        if (m_pRecord) {
            m_pRecord->OnPageSaved(page);
        }
        saved.push_back(page);
    }
    void OnResourceSaved(const SavedTransfer& resource) override
    {
        if (m_pRecord) {
            m_pRecord->OnResourceSaved(resource);
        }
    }
    void OnPageOutcome(int nIndex, const std::string& strUrl, PageOutcome outcome) override
    {
        outcomes[nIndex] = {strUrl, outcome};
    }

    std::vector<SavedTransfer> saved;
    std::map<int, std::pair<std::string, PageOutcome>> outcomes;

private:
    CProjectRecord* m_pRecord;
};

std::string historyFolder(const std::string& strProjectFolder)
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
    const std::string strBase = files::Join(files::Join(strProjectFolder, kHistoryFolderName), stamp);
    std::string strFolder = strBase;
    for (int n = 2; files::Exists(strFolder); ++n) {
        strFolder = strBase + "-" + std::to_string(n);
    }
    return strFolder;
}

} // namespace

std::string SeriesAddressAfter(const std::string& strFirst, const std::string& strLast, long long nAfter)
{
    // The number is the run of digits where the pair first differs; a single address has its last one.
    size_t nAt = 0;
    while (nAt < strFirst.size() && nAt < strLast.size() && strFirst[nAt] == strLast[nAt]) {
        ++nAt;
    }
    size_t nStart = 0;
    size_t nEnd = 0;
    if (nAt == strLast.size() && nAt == strFirst.size()) {
        nEnd = strLast.size();
        while (nEnd > 0 && !isDigit(strLast[nEnd - 1])) {
            --nEnd;
        }
        nStart = nEnd;
    } else {
        nStart = nAt;
        nEnd = nAt;
    }
    while (nStart > 0 && isDigit(strLast[nStart - 1])) {
        --nStart;
    }
    while (nEnd < strLast.size() && isDigit(strLast[nEnd])) {
        ++nEnd;
    }
    if (nStart >= nEnd || nEnd - nStart > 15) {
        return std::string();
    }
    const std::string number = strLast.substr(nStart, nEnd - nStart);
    size_t nFirstEnd = nStart;
    while (nFirstEnd < strFirst.size() && isDigit(strFirst[nFirstEnd])) {
        ++nFirstEnd;
    }
    const std::string firstNumber = strFirst.substr(nStart, nFirstEnd - nStart);
    // A series written with leading zeros (ch01 .. ch10) keeps its width: past its largest number the
    // addresses would lose their zeros and name other pages.
    const bool bPadded = (number.size() > 1 && number[0] == '0') || (firstNumber.size() > 1 && firstNumber[0] == '0');
    std::string next = std::to_string(std::stoll(number) + nAfter);
    if (bPadded && next.size() > number.size()) {
        next.assign(number.size(), '9');
    }
    if (bPadded && next.size() < number.size()) {
        next.insert(0, number.size() - next.size(), '0');
    }
    return strLast.substr(0, nStart) + next + strLast.substr(nEnd);
}

std::vector<std::string> UpdateReportLines(const UpdateReport& report)
{
    const std::pair<const char*, std::string> rows[] = {
        {"工程名:", report.strProject},
        {"新增网页:", std::to_string(report.nNew)},
        {"更新网页:", std::to_string(report.nUpdated)},
        {"未变网页:", std::to_string(report.nUnchanged)},
        {"已删除网页:", std::to_string(report.nRemoved)},
        {"下载网页失败:", std::to_string(report.nFailed)},
        {"网页保存路径:", report.strFolder},
    };
    std::vector<std::string> lines;
    for (const auto& [label, value] : rows) {
        lines.push_back(label);
        lines.push_back(std::string(9, ' ') + value);
    }
    return lines;
}

UpdateResult UpdateProject(const UpdateOptions& options, IDownloadNotify* pNotify, const std::atomic<bool>* pCancel)
{
    UpdateResult result;
    UpdateReport& report = result.report;
    report.strProject = options.strProject;

    // A first job killed before it wrote the project file leaves only its record: the file is made then.
    const bool bFileExists = options.bPagesGiven || files::IsRegularFile(options.strProjectFile);
    std::vector<CProjectObject> projects;
    if (options.bPagesGiven) {
        CProjectObject project;
        project.m_strName = options.strProject;
        project.m_pages = options.pages;
        projects.push_back(std::move(project));
    } else if (bFileExists) {
        CProjectStore store;
        store.SetPath(options.strProjectFile);
        store.Transfer(false);
        if (!store.LastTransferOk()) {
            result.code = UpdateResult::Code::NoProjectFile;
            result.strMessage =
                "cannot read the project file '" + options.strProjectFile + "': " + store.LastStatus().m_strMessage;
            return result;
        }
        store.GetProjects(projects);
    }
    const CProjectObject* pProject = nullptr;
    for (const CProjectObject& project : projects) {
        if (project.m_strName == options.strProject) {
            pProject = &project;
            break;
        }
    }
    const std::vector<CProjectInfor> noPages;
    const std::vector<CProjectInfor>& pages = pProject ? pProject->m_pages : noPages;

    // The project's folder: where its pages lie, else where its first job was saving them.
    std::vector<std::string> localFiles;
    for (const CProjectInfor& page : pages) {
        localFiles.push_back(page.m_strLocalFile);
    }
    const std::string strSaveFolder = files::AbsolutePath(
        !pages.empty() ? SaveFolderForPages(localFiles)
                       : (options.strSaveFolder.empty() ? files::DocumentsFolder() : options.strSaveFolder));
    const std::string strFolder = files::Join(strSaveFolder, ProjectFolderName(options.strProject));
    const std::string strFolderSlash = strFolder + "/";
    report.strFolder = strFolder;
    if (!bFileExists && !CProjectRecord::Exists(strFolder)) {
        result.code = UpdateResult::Code::NoProjectFile;
        result.strMessage = "cannot read the project file '" + options.strProjectFile + "': there is no such file";
        return result;
    }
    if (!pProject && !CProjectRecord::Exists(strFolder)) {
        result.code = UpdateResult::Code::NoProject;
        result.strMessage = "no project named '" + options.strProject + "' in '" + options.strProjectFile + "'";
        return result;
    }

    // A record that cannot be read is put aside: the update then works from the pages' addresses.
    CProjectRecord record;
    const bool bRecorded = CProjectRecord::Exists(strFolder);
    const bool bRecordOk = record.Open(strFolder, true);
    JobDefinition definition;
    const bool bDefined = bRecordOk && record.LastDefinition(definition);
    std::map<std::string, RecordedPage> recorded;
    std::vector<RecordedPage> recordedOrder;
    if (bRecordOk && bRecorded) {
        recordedOrder = record.Pages();
        for (const RecordedPage& page : recordedOrder) {
            recorded[page.strFileName] = page;
        }
    }

    auto plan = std::make_shared<UpdatePlan>();
    plan->nMaxNew = std::max(0, options.nMaxNew);
    plan->strHistoryFolder = historyFolder(strFolder);
    std::set<std::string> knownUrls;
    std::set<std::string> knownFiles;
    auto addSaved = [&](const std::string& strUrl, const std::string& strFile) {
        UpdatePage page;
        page.kind = UpdatePage::Kind::Saved;
        page.strUrl = strUrl;
        splitFileName(strFolderSlash, strFile, page.strName, page.strExt);
        auto it = recorded.find(strFile);
        if (it != recorded.end()) {
            page.strETag = it->second.strETag;
            page.strLastModified = it->second.strLastModified;
            page.strDigest = it->second.strDigest;
        }
        plan->pages.push_back(std::move(page));
        knownUrls.insert(strUrl);
        knownFiles.insert(strFile);
    };
    for (const CProjectInfor& page : pages) {
        // A page kept outside the project's folder (moved by hand) is not the update's to save.
        if (files::FolderOf(page.m_strLocalFile) + "/" != strFolderSlash &&
            files::FolderOf(page.m_strLocalFile) != strFolder) {
            continue;
        }
        addSaved(page.m_strUrl, files::FileName(page.m_strLocalFile));
    }
    // Pages a killed job saved before it could write the project file join it, in the order they came.
    std::vector<CProjectInfor> recovered;
    const size_t nProjectPages = plan->pages.size();
    for (const RecordedPage& page : recordedOrder) {
        if (knownFiles.count(page.strFileName) == 0 && files::IsRegularFile(strFolderSlash + page.strFileName)) {
            addSaved(page.strListUrl.empty() ? page.strUrl : page.strListUrl, page.strFileName);
            recovered.push_back({page.strTitle, strFolderSlash + page.strFileName, page.strUrl, 0});
        }
    }
    // Pages of an interrupted job's list never saved.
    if (bRecordOk && bRecorded) {
        for (const PlannedPage& page : record.UnsavedPages()) {
            // The name is the job's: it reserved it with an empty file, or was killed after writing the
            // page and before recording it. Either way the page is saved (again) under it.
            if (knownUrls.count(page.strUrl) != 0 || knownFiles.count(page.strName + page.strExt) != 0) {
                continue;
            }
            UpdatePage planned;
            planned.kind = UpdatePage::Kind::New;
            planned.strUrl = page.strUrl;
            planned.strName = page.strName;
            planned.strExt = page.strExt;
            plan->pages.push_back(std::move(planned));
            knownUrls.insert(page.strUrl);
        }
    }

    // The series the project's pages follow: as its job recorded it, else from its first and last page.
    std::string strFirst;
    std::string strLast;
    if (bDefined && definition.nMode == 0) {
        strFirst = definition.strFirstUrl;
        strLast = definition.strLastUrl.empty() ? definition.strFirstUrl : definition.strLastUrl;
    } else if (!bDefined && pages.size() >= 2) {
        CUrlSequence sequence;
        sequence.SetRange(pages.front().m_strUrl, pages.back().m_strUrl);
        if (sequence.Check() == 0) {
            strFirst = pages.front().m_strUrl;
            strLast = pages.back().m_strUrl;
        }
    }
    long long nSeriesLength = 0;
    if (!strFirst.empty() && plan->nMaxNew > 0) {
        std::vector<std::string> urls;
        std::vector<std::string> names;
        std::string strExt;
        CUrlSequence sequence;
        sequence.SetRange(strFirst, strLast);
        if (sequence.Expand(urls, names, 0, strExt) == 0) {
            nSeriesLength = static_cast<long long>(urls.size());
        }
        // Enough numbers for every page wanted with a gap of one before each.
        const long long nProbes = 2LL * plan->nMaxNew + plan->nMissingInARow;
        const std::string strFurther = SeriesAddressAfter(strFirst, strLast, nProbes);
        std::vector<std::string> probeUrls;
        std::vector<std::string> probeNames;
        std::vector<std::string> allLocal = localFiles;
        for (const CProjectInfor& page : recovered) {
            allLocal.push_back(page.m_strLocalFile);
        }
        sequence.SetRange(strFirst, strFurther);
        if (nSeriesLength > 0 && !strFurther.empty() &&
            sequence.Expand(probeUrls, probeNames, NextAddCount(allLocal), strExt) == 0 &&
            static_cast<long long>(probeUrls.size()) > nSeriesLength) {
            probeUrls.erase(probeUrls.begin(), probeUrls.begin() + nSeriesLength);
            probeNames.erase(probeNames.begin(), probeNames.begin() + nSeriesLength);
            if (MakePageNamesUnique(probeNames, strExt, strFolderSlash)) {
                for (size_t k = 0; k < probeUrls.size(); ++k) {
                    if (knownUrls.count(probeUrls[k]) != 0) {
                        continue;
                    }
                    UpdatePage probe;
                    probe.kind = UpdatePage::Kind::Probe;
                    probe.strUrl = probeUrls[k];
                    probe.strName = probeNames[k];
                    probe.strExt = strExt;
                    plan->pages.push_back(std::move(probe));
                }
            }
        }
    }
    // A top page's job: the top page (the project's first page) is read again for new links.
    if (bDefined && definition.nMode == 1 && nProjectPages > 0) {
        const RecordedPage* pTop = nullptr;
        auto it = recorded.find(plan->pages[0].strName + plan->pages[0].strExt);
        if (it != recorded.end()) {
            pTop = &it->second;
        }
        if (plan->pages[0].strUrl == definition.strTopUrl || (pTop && pTop->strListUrl == definition.strTopUrl)) {
            plan->bTopLinks = 1;
            plan->strFirstLink = definition.strFirstUrl;
            plan->strLastLink = definition.strLastUrl;
        }
    }

    CDownloadTask task;
    task.m_strProjectName = options.strProject;
    task.m_strSaveFolder = strSaveFolder;
    task.m_nMode = 2;
    task.m_hNotifyWnd = pNotify;
    if (bDefined) {
        task.m_bComplete = definition.bComplete;
        task.m_bKeepScripts = definition.bKeepScripts;
        task.m_strCookieFile = definition.strCookieFile;
        task.m_nConnections = definition.nConnections;
        task.m_nWaitMs = definition.nWaitMs;
    }
    if (options.nConnections > 0) {
        task.m_nConnections = options.nConnections;
    }
    if (options.nWaitMs >= 0) {
        task.m_nWaitMs = options.nWaitMs;
    }
    if (task.m_bComplete) {
        for (const CProjectInfor& page : pages) {
            task.m_projectPages.push_back({page.m_strUrl, page.m_strLocalFile});
        }
    }
    task.m_pUpdate = plan;
    if (!bDefined && bRecordOk) {
        // A project without a record gets one now, from what its pages show.
        JobDefinition derived;
        derived.strFirstUrl = strFirst;
        derived.strLastUrl = strLast;
        if (!strFirst.empty()) {
            record.BeginJob(derived);
            record.LastDefinition(definition);
        }
    }
    record.SetUpdating(true);
    CUpdateRecorder recorder(bRecordOk ? &record : nullptr);
    task.m_pRecorder = &recorder;
    DownloadWorker(&task, pCancel);

    // What happened to each page; pages a killed job saved count as new to the project.
    std::vector<CProjectInfor> added = recovered;
    std::map<std::string, const SavedTransfer*> savedByUrl;
    for (const SavedTransfer& page : recorder.saved) {
        savedByUrl[page.strListUrl] = &page;
    }
    std::string strSeriesEnd;
    for (const auto& [nIndex, entry] : recorder.outcomes) {
        const auto& [strUrl, outcome] = entry;
        const bool bRecovered = static_cast<size_t>(nIndex) >= nProjectPages &&
                                static_cast<size_t>(nIndex) < plan->pages.size() &&
                                plan->pages[nIndex].kind == UpdatePage::Kind::Saved;
        switch (outcome) {
        case PageOutcome::New: {
            ++report.nNew;
            auto it = savedByUrl.find(strUrl);
            if (it != savedByUrl.end()) {
                added.push_back({it->second->strTitle, it->second->strLocalFile, it->second->strUrl, 0});
            }
            if (static_cast<size_t>(nIndex) < plan->pages.size() &&
                plan->pages[nIndex].kind == UpdatePage::Kind::Probe) {
                strSeriesEnd = strUrl;
            }
            break;
        }
        case PageOutcome::Updated:
            ++(bRecovered ? report.nNew : report.nUpdated);
            break;
        case PageOutcome::Unchanged:
            ++(bRecovered ? report.nNew : report.nUnchanged);
            break;
        case PageOutcome::Removed:
            ++report.nRemoved;
            report.removedUrls.push_back(strUrl);
            break;
        case PageOutcome::Failed:
            ++report.nFailed;
            report.failedUrls.push_back(strUrl);
            break;
        case PageOutcome::Missing:
            break;
        }
    }
    report.savedPages = recovered;
    for (const SavedTransfer& page : recorder.saved) {
        report.savedPages.push_back({page.strTitle, page.strLocalFile, page.strUrl, 0});
    }
    if (!strSeriesEnd.empty() && definition.nId != 0 && definition.nMode == 0) {
        record.SetLastUrl(definition.nId, strSeriesEnd);
    }
    report.addedPages = added;
    if (!options.bPagesGiven && (!added.empty() || !pProject)) {
        ProjectFileStatus status;
        if (!AppendPagesToProjectFile(options.strProjectFile, options.strProject, added, &status)) {
            result.code = UpdateResult::Code::NotWritten;
            result.strMessage = "the pages were saved, but the project file was not updated: " + status.m_strMessage;
        }
    }
    return result;
}
