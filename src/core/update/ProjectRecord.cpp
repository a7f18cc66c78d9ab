#include "ProjectRecord.h"

#include <cstdio>

#include <sqlite3.h>

#include "download/DownloadTask.h"
#include "platform/Files.h"

namespace
{

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS job(id INTEGER PRIMARY KEY, mode INTEGER, first_url TEXT, last_url TEXT,
    top_url TEXT, add_count INTEGER, complete INTEGER, keep_scripts INTEGER, cookie_file TEXT,
    connections INTEGER, wait_ms INTEGER, started TEXT DEFAULT CURRENT_TIMESTAMP);
CREATE TABLE IF NOT EXISTS planned(job INTEGER, seq INTEGER, url TEXT, name TEXT, ext TEXT,
    PRIMARY KEY(job, seq));
CREATE TABLE IF NOT EXISTS page(file TEXT PRIMARY KEY, list_url TEXT, url TEXT, title TEXT, etag TEXT,
    last_modified TEXT, digest TEXT, job INTEGER, saved_order INTEGER);
CREATE TABLE IF NOT EXISTS resource(file TEXT PRIMARY KEY, url TEXT, etag TEXT, last_modified TEXT,
    digest TEXT);
)";

// One prepared statement, finalized at the end of its scope.
class CStatement
{
public:
    CStatement(sqlite3* pDb, const char* pSql)
    {
        if (pDb) {
            sqlite3_prepare_v2(pDb, pSql, -1, &m_p, nullptr);
        }
    }
    ~CStatement() { sqlite3_finalize(m_p); }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    bool Ok() const { return m_p != nullptr; }
    CStatement& Bind(int n, const std::string& text)
    {
        sqlite3_bind_text(m_p, n, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    CStatement& Bind(int n, long long value)
    {
        sqlite3_bind_int64(m_p, n, value);
        return *this;
    }
    bool Step() { return m_p && sqlite3_step(m_p) == SQLITE_ROW; }
    bool Run()
    {
        if (!m_p) {
            return false;
        }
        const int rc = sqlite3_step(m_p);
        return rc == SQLITE_DONE || rc == SQLITE_ROW;
    }
    std::string Text(int n) const
    {
        const unsigned char* p = sqlite3_column_text(m_p, n);
        return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_column_bytes(m_p, n)) : std::string();
    }
    long long Int(int n) const { return sqlite3_column_int64(m_p, n); }

private:
    sqlite3_stmt* m_p = nullptr;
};

} // namespace

CProjectRecord::~CProjectRecord()
{
    sqlite3_close(m_pDb);
}

bool CProjectRecord::Exists(const std::string& strProjectFolder)
{
    return files::IsRegularFile(files::Join(strProjectFolder, kFileName));
}

bool CProjectRecord::Open(const std::string& strProjectFolder, bool bReplaceDamaged, std::string* pWhy)
{
    sqlite3_close(m_pDb);
    m_pDb = nullptr;
    m_strFolder = strProjectFolder;
    while (m_strFolder.size() > 1 && m_strFolder.back() == '/') {
        m_strFolder.pop_back();
    }
    m_strFolder += '/';
    if (!files::CreateFolders(m_strFolder)) {
        if (pWhy) {
            *pWhy = "cannot make the folder " + m_strFolder;
        }
        return false;
    }
    const std::string strPath = m_strFolder + kFileName;
    for (int nTry = 0; nTry < 2; ++nTry) {
        std::string strWhy;
        if (sqlite3_open_v2(strPath.c_str(), &m_pDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
            SQLITE_OK) {
            sqlite3_busy_timeout(m_pDb, 10000);
            // The write-ahead journal keeps the record whole through a crash or a full disk.
            if (exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", &strWhy) && exec(kSchema, &strWhy) &&
                exec("PRAGMA quick_check;", &strWhy)) {
                return true;
            }
        } else {
            strWhy = m_pDb ? sqlite3_errmsg(m_pDb) : "cannot open";
        }
        sqlite3_close(m_pDb);
        m_pDb = nullptr;
        if (!bReplaceDamaged || nTry > 0) {
            if (pWhy) {
                *pWhy = strPath + ": " + strWhy;
            }
            return false;
        }
        // What cannot be read is kept for whoever wants to look at it, and a new record begins.
        std::rename(strPath.c_str(), (strPath + ".damaged").c_str());
        std::remove((strPath + "-wal").c_str());
        std::remove((strPath + "-shm").c_str());
    }
    return false;
}

void CProjectRecord::Remove()
{
    if (!m_pDb) {
        return;
    }
    sqlite3_close(m_pDb);
    m_pDb = nullptr;
    const std::string strPath = m_strFolder + kFileName;
    for (const char* pSuffix : {"", "-wal", "-shm"}) {
        std::remove((strPath + pSuffix).c_str());
    }
}

bool CProjectRecord::exec(const char* pSql, std::string* pWhy) const
{
    char* pError = nullptr;
    if (sqlite3_exec(m_pDb, pSql, nullptr, nullptr, &pError) == SQLITE_OK) {
        return true;
    }
    if (pWhy) {
        *pWhy = pError ? pError : "cannot write the record";
    }
    sqlite3_free(pError);
    return false;
}

std::string CProjectRecord::relative(const std::string& strPath) const
{
    return strPath.compare(0, m_strFolder.size(), m_strFolder) == 0 ? strPath.substr(m_strFolder.size()) : strPath;
}

bool CProjectRecord::BeginJob(const CDownloadTask& task)
{
    return BeginJob(JobDefinitionOf(task));
}

JobDefinition JobDefinitionOf(const CDownloadTask& task)
{
    JobDefinition definition;
    definition.nMode = task.m_nMode;
    definition.strFirstUrl = task.m_strFirstUrl;
    definition.strLastUrl = task.m_strLastUrl;
    definition.strTopUrl = task.m_strTopUrl;
    definition.nAddCount = task.m_nAddCount;
    definition.bComplete = task.m_bComplete;
    definition.bKeepScripts = task.m_bKeepScripts;
    definition.strCookieFile = task.m_strCookieFile;
    definition.nConnections = task.m_nConnections;
    definition.nWaitMs = task.m_nWaitMs;
    return definition;
}

CRecordOnFirstSave::CRecordOnFirstSave(std::string strProjectFolder, const CDownloadTask& task)
    : m_strFolder(std::move(strProjectFolder))
    , m_definition(JobDefinitionOf(task))
{}

void CRecordOnFirstSave::OnJobList(const std::vector<std::string>& urls,
                                   const std::vector<std::string>& names,
                                   const std::vector<std::string>& exts)
{
    m_urls = urls;
    m_names = names;
    m_exts = exts;
}

bool CRecordOnFirstSave::begin()
{
    if (!m_bTried) {
        m_bTried = true;
        m_bBegun = m_record.Open(m_strFolder, true) && m_record.BeginJob(m_definition);
        if (m_bBegun && !m_urls.empty()) {
            m_record.OnJobList(m_urls, m_names, m_exts);
        }
    }
    return m_bBegun;
}

void CRecordOnFirstSave::OnPageSaved(const SavedTransfer& page)
{
    if (begin()) {
        m_record.OnPageSaved(page);
    }
}

void CRecordOnFirstSave::OnResourceSaved(const SavedTransfer& resource)
{
    if (begin()) {
        m_record.OnResourceSaved(resource);
    }
}

bool CProjectRecord::BeginJob(const JobDefinition& d)
{
    CStatement insert(m_pDb, "INSERT INTO job(mode, first_url, last_url, top_url, add_count, complete, keep_scripts, "
                             "cookie_file, connections, wait_ms) VALUES(?,?,?,?,?,?,?,?,?,?)");
    insert.Bind(1, static_cast<long long>(d.nMode))
        .Bind(2, d.strFirstUrl)
        .Bind(3, d.strLastUrl)
        .Bind(4, d.strTopUrl)
        .Bind(5, static_cast<long long>(d.nAddCount))
        .Bind(6, static_cast<long long>(d.bComplete))
        .Bind(7, static_cast<long long>(d.bKeepScripts))
        .Bind(8, d.strCookieFile)
        .Bind(9, static_cast<long long>(d.nConnections))
        .Bind(10, static_cast<long long>(d.nWaitMs));
    if (!insert.Run()) {
        return false;
    }
    m_nJob = sqlite3_last_insert_rowid(m_pDb);
    return true;
}

bool CProjectRecord::LastDefinition(JobDefinition& d) const
{
    CStatement select(m_pDb, "SELECT id, mode, first_url, last_url, top_url, add_count, complete, keep_scripts, "
                             "cookie_file, connections, wait_ms FROM job ORDER BY id DESC LIMIT 1");
    if (!select.Step()) {
        return false;
    }
    d.nId = select.Int(0);
    d.nMode = static_cast<int>(select.Int(1));
    d.strFirstUrl = select.Text(2);
    d.strLastUrl = select.Text(3);
    d.strTopUrl = select.Text(4);
    d.nAddCount = static_cast<int>(select.Int(5));
    d.bComplete = static_cast<int>(select.Int(6));
    d.bKeepScripts = static_cast<int>(select.Int(7));
    d.strCookieFile = select.Text(8);
    d.nConnections = static_cast<int>(select.Int(9));
    d.nWaitMs = static_cast<int>(select.Int(10));
    return true;
}

bool CProjectRecord::SetLastUrl(long long nJob, const std::string& strLastUrl)
{
    CStatement update(m_pDb, "UPDATE job SET last_url = ? WHERE id = ?");
    return update.Bind(1, strLastUrl).Bind(2, nJob).Run();
}

std::vector<RecordedPage> CProjectRecord::Pages() const
{
    std::vector<RecordedPage> pages;
    CStatement select(m_pDb, "SELECT file, list_url, url, title, etag, last_modified, digest FROM page "
                             "ORDER BY saved_order");
    while (select.Step()) {
        pages.push_back({select.Text(0), select.Text(1), select.Text(2), select.Text(3), select.Text(4), select.Text(5),
                         select.Text(6)});
    }
    return pages;
}

std::vector<PlannedPage> CProjectRecord::UnsavedPages() const
{
    std::vector<PlannedPage> pages;
    CStatement select(m_pDb, "SELECT url, name, ext FROM planned WHERE name || ext NOT IN (SELECT file FROM page) "
                             "ORDER BY job, seq");
    while (select.Step()) {
        pages.push_back({select.Text(0), select.Text(1), select.Text(2)});
    }
    return pages;
}

void CProjectRecord::OnJobList(const std::vector<std::string>& urls,
                               const std::vector<std::string>& names,
                               const std::vector<std::string>& exts)
{
    if (m_bUpdating || !m_pDb) {
        return;
    }
    exec("BEGIN");
    for (size_t i = 0; i < urls.size() && i < names.size() && i < exts.size(); ++i) {
        CStatement insert(m_pDb, "INSERT OR REPLACE INTO planned(job, seq, url, name, ext) VALUES(?,?,?,?,?)");
        insert.Bind(1, m_nJob).Bind(2, static_cast<long long>(i)).Bind(3, urls[i]).Bind(4, names[i]).Bind(5, exts[i]);
        insert.Run();
    }
    exec("COMMIT");
}

void CProjectRecord::OnPageSaved(const SavedTransfer& page)
{
    // A page saved again keeps its place in the order.
    CStatement upsert(m_pDb, "INSERT INTO page(file, list_url, url, title, etag, last_modified, digest, job, "
                             "saved_order) VALUES(?,?,?,?,?,?,?,?,(SELECT IFNULL(MAX(saved_order), 0) + 1 FROM page)) "
                             "ON CONFLICT(file) DO UPDATE SET list_url = excluded.list_url, url = excluded.url, "
                             "title = excluded.title, etag = excluded.etag, last_modified = excluded.last_modified, "
                             "digest = excluded.digest");
    upsert.Bind(1, relative(page.strLocalFile))
        .Bind(2, page.strListUrl)
        .Bind(3, page.strUrl)
        .Bind(4, page.strTitle)
        .Bind(5, page.strETag)
        .Bind(6, page.strLastModified)
        .Bind(7, page.strDigest)
        .Bind(8, m_nJob);
    upsert.Run();
}

void CProjectRecord::OnResourceSaved(const SavedTransfer& resource)
{
    CStatement upsert(m_pDb, "INSERT OR REPLACE INTO resource(file, url, etag, last_modified, digest) "
                             "VALUES(?,?,?,?,?)");
    upsert.Bind(1, relative(resource.strLocalFile))
        .Bind(2, resource.strUrl)
        .Bind(3, resource.strETag)
        .Bind(4, resource.strLastModified)
        .Bind(5, resource.strDigest);
    upsert.Run();
}
