#pragma once

#include <string>
#include <vector>

#include "download/JobRecord.h"

struct sqlite3;
class CDownloadTask;

// How a job found its pages, as it was started.
struct JobDefinition
{
    long long nId = 0;
    int nMode = 0; // 0 numbered series, 1 top page and its links
    std::string strFirstUrl;
    std::string strLastUrl;
    std::string strTopUrl;
    int nAddCount = 0;
    int bComplete = 0;
    int bKeepScripts = 1;
    std::string strCookieFile;
    int nConnections = 8;
    int nWaitMs = 0;
};

// The definition a task's job is recorded with.
JobDefinition JobDefinitionOf(const CDownloadTask& task);

// A page saved by a job, under its file name in the project folder.
struct RecordedPage
{
    std::string strFileName;
    std::string strListUrl;
    std::string strUrl;
    std::string strTitle;
    std::string strETag;
    std::string strLastModified;
    std::string strDigest;
};

// A page a job meant to save, with the name it was to take.
struct PlannedPage
{
    std::string strUrl;
    std::string strName;
    std::string strExt;
};

// The record kept beside a project's pages in its folder: each job's definition and list, and each page
// and resource saved with its validators and digest. An SQLite database with a write-ahead journal, so
// a crash or a full disk never leaves it half-written; each page's record is committed as it is saved,
// so a killed job's saved pages are known. Used on one thread at a time.
class CProjectRecord final : public IJobRecorder
{
public:
    static constexpr const char* kFileName = ".trawlix-record.sqlite";

    CProjectRecord() = default;
    ~CProjectRecord() override;
    CProjectRecord(const CProjectRecord&) = delete;
    CProjectRecord& operator=(const CProjectRecord&) = delete;

    // Opens the record of the project folder, making it (and the folder) when there is none. A file there
    // that is not a record we can read is moved aside (".damaged") and a new one begun when bReplaceDamaged;
    // otherwise false with the reason in pWhy.
    bool Open(const std::string& strProjectFolder, bool bReplaceDamaged, std::string* pWhy = nullptr);
    bool IsOpen() const { return m_pDb != nullptr; }
    // Closes the record and deletes its files.
    void Remove();
    // Whether the folder holds a record file.
    static bool Exists(const std::string& strProjectFolder);

    // Records the definition of a job that begins now; later page records belong to it.
    bool BeginJob(const CDownloadTask& task);
    bool BeginJob(const JobDefinition& definition);
    // The latest job's definition; false when none is recorded.
    bool LastDefinition(JobDefinition& definition) const;
    // A series found to go on: its last address is now strLastUrl.
    bool SetLastUrl(long long nJob, const std::string& strLastUrl);
    // While an update runs, its list is not a job's list to resume.
    void SetUpdating(bool bUpdating) { m_bUpdating = bUpdating; }

    // The pages saved, in the order they were first saved.
    std::vector<RecordedPage> Pages() const;
    // The pages of the recorded jobs' lists never saved, in job and list order.
    std::vector<PlannedPage> UnsavedPages() const;

    void OnJobList(const std::vector<std::string>& urls,
                   const std::vector<std::string>& names,
                   const std::vector<std::string>& exts) override;
    void OnPageSaved(const SavedTransfer& page) override;
    void OnResourceSaved(const SavedTransfer& resource) override;
    void OnPageOutcome(int, const std::string&, PageOutcome) override {}

private:
    bool exec(const char* pSql, std::string* pWhy = nullptr) const;
    // The path relative to the project folder (records survive a moved folder).
    std::string relative(const std::string& strPath) const;

    sqlite3* m_pDb = nullptr;
    std::string m_strFolder; // with a trailing slash
    long long m_nJob = 0;
    bool m_bUpdating = false;
};

// A job's record begun only when the job saves its first page or file, so a job that saves nothing
// leaves no record (and no folder for one) behind; from then on everything goes to the project
// folder's record. A record that cannot be opened leaves the job unrecorded.
class CRecordOnFirstSave final : public IJobRecorder
{
public:
    CRecordOnFirstSave(std::string strProjectFolder, const CDownloadTask& task);

    void OnJobList(const std::vector<std::string>& urls,
                   const std::vector<std::string>& names,
                   const std::vector<std::string>& exts) override;
    void OnPageSaved(const SavedTransfer& page) override;
    void OnResourceSaved(const SavedTransfer& resource) override;
    void OnPageOutcome(int, const std::string&, PageOutcome) override {}

private:
    bool begin();

    std::string m_strFolder;
    JobDefinition m_definition;
    std::vector<std::string> m_urls;
    std::vector<std::string> m_names;
    std::vector<std::string> m_exts;
    CProjectRecord m_record;
    bool m_bTried = false;
    bool m_bBegun = false;
};
