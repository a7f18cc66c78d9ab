#include "SearchIndex.h"

#include <cstdio>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <utility>

#include <sqlite3.h>

#include "PageText.h"
#include "SearchTokenizer.h"
#include "platform/Files.h"
#include "project/ProjectStore.h"

namespace
{

// Raised when the tables change shape; an index of another version is rebuilt.
constexpr int kSchemaVersion = 1;
// Pages larger than this are indexed by their first part only.
constexpr size_t kMaxPageBytes = 32u << 20;
// How long a writer waits for another program's transaction.
constexpr int kBusyWaitMs = 10000;

const char kSchema[] = "CREATE TABLE IF NOT EXISTS pages(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE,"
                       " project_file TEXT NOT NULL, project TEXT NOT NULL, title TEXT NOT NULL,"
                       " url TEXT NOT NULL, mtime INTEGER NOT NULL, size INTEGER NOT NULL);"
                       "CREATE INDEX IF NOT EXISTS pages_project ON pages(project_file, project);"
                       "CREATE VIRTUAL TABLE IF NOT EXISTS page_text USING fts5(title, body, tokenize='trawlix');";

// A prepared statement that finalizes itself.
class CStatement
{
public:
    CStatement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_p, nullptr); }
    ~CStatement() { sqlite3_finalize(m_p); }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    bool Ok() const { return m_rc == SQLITE_OK && m_p; }
    int PrepareResult() const { return m_rc; }
    CStatement& Bind(int n, const std::string& text)
    {
        sqlite3_bind_text(m_p, n, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    CStatement& Bind(int n, std::int64_t value)
    {
        sqlite3_bind_int64(m_p, n, value);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return m_p ? sqlite3_step(m_p) : m_rc; }
    std::string Text(int n) const
    {
        const auto* p = sqlite3_column_text(m_p, n);
        return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(m_p, n)))
                 : std::string();
    }
    std::int64_t Int(int n) const { return sqlite3_column_int64(m_p, n); }

private:
    sqlite3_stmt* m_p = nullptr;
    int m_rc = SQLITE_ERROR;
};

std::string listPath(const std::string& strIndex)
{
    return strIndex + ".projects";
}

std::string quoted(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + '"';
}

bool hasTerms(std::string_view text)
{
    bool bAny = false;
    search::Tokenize(text, true, [&](std::string_view, int, int, bool) {
        bAny = true;
        return false;
    });
    return bAny;
}

} // namespace

std::string CSearchIndex::DefaultPath()
{
    return files::Join(files::DataFolder(), "search.sqlite");
}

CSearchIndex::CSearchIndex(std::string strPath)
    : m_strPath(std::move(strPath))
{}

CSearchIndex::~CSearchIndex()
{
    close();
}

CSearchIndex::FileStamp CSearchIndex::stampOf(const std::string& strFile)
{
    struct stat st
    {};
    if (::stat(strFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return {};
    }
    return {static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<std::int64_t>(st.st_size)};
}

bool CSearchIndex::Open(SearchStatus* status)
{
    std::lock_guard guard(m_lock);
    return ensureOpen(status);
}

bool CSearchIndex::ensureOpen(SearchStatus* status)
{
    if (m_pDb && !m_bDamaged) {
        return true;
    }
    if (m_bDamaged) {
        return rebuild(status);
    }
    loadProjectFileList();
    if (openFile(status)) {
        return true;
    }
    return m_bDamaged && rebuild(status);
}

bool CSearchIndex::openFile(SearchStatus* status)
{
    const auto fail = [&](const std::string& why) {
        if (status) {
            status->m_code = SearchStatus::Code::IndexUnavailable;
            status->m_strMessage = "cannot open the search index " + m_strPath + ": " + why;
        }
        close();
        return false;
    };
    files::CreateFolders(files::FolderOf(m_strPath));
    if (sqlite3_open_v2(m_strPath.c_str(), &m_pDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        return fail(m_pDb ? sqlite3_errmsg(m_pDb) : "out of memory");
    }
    sqlite3_busy_timeout(m_pDb, kBusyWaitMs);
    if (!search::RegisterTokenizer(m_pDb)) {
        return fail("SQLite has no FTS5");
    }
    int nVersion = -1;
    {
        CStatement version(m_pDb, "PRAGMA user_version");
        const int rc = version.Ok() ? version.Step() : version.PrepareResult();
        if (rc == SQLITE_ROW) {
            nVersion = static_cast<int>(version.Int(0));
        } else if (damaged(rc)) {
            return fail("damaged");
        }
    }
    if (nVersion != 0 && nVersion != kSchemaVersion) {
        // An index written by another version: its pages are read again from the project files.
        m_bDamaged = true;
        return fail("written by another version");
    }
    if (!exec("PRAGMA journal_mode=WAL") || !exec("PRAGMA synchronous=NORMAL") || !exec(kSchema) ||
        !exec(("PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str())) {
        return fail(m_bDamaged ? "damaged" : sqlite3_errmsg(m_pDb));
    }
    // A damaged file often opens and reads its first page fine; touching both tables finds most damage.
    CStatement probe(m_pDb, "SELECT (SELECT count(*) FROM pages), (SELECT count(*) FROM page_text)");
    const int rc = probe.Ok() ? probe.Step() : probe.PrepareResult();
    if (rc != SQLITE_ROW) {
        damaged(rc);
        return fail(m_bDamaged ? "damaged" : sqlite3_errmsg(m_pDb));
    }
    return true;
}

void CSearchIndex::close()
{
    if (m_pDb) {
        sqlite3_close_v2(m_pDb);
        m_pDb = nullptr;
    }
}

bool CSearchIndex::damaged(int rc)
{
    const int primary = rc & 0xFF;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) {
        m_bDamaged = true;
    }
    return m_bDamaged;
}

bool CSearchIndex::exec(const char* sql)
{
    const int rc = sqlite3_exec(m_pDb, sql, nullptr, nullptr, nullptr);
    damaged(rc);
    return rc == SQLITE_OK;
}

bool CSearchIndex::rebuild(SearchStatus* status)
{
    if (m_bRebuilding) {
        return false;
    }
    m_bRebuilding = true;
    close();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        std::remove((m_strPath + suffix).c_str());
    }
    m_bDamaged = false;
    loadProjectFileList();
    bool bOk = openFile(status);
    if (bOk) {
        const std::set<std::string> projectFiles = m_projectFiles;
        for (const std::string& strProjectFile : projectFiles) {
            syncLocked(strProjectFile, nullptr, nullptr);
        }
        bOk = !m_bDamaged;
    }
    m_bRebuilding = false;
    return bOk;
}

void CSearchIndex::loadProjectFileList()
{
    std::string data;
    if (!files::ReadFile(listPath(m_strPath), data)) {
        return;
    }
    std::istringstream in(data);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            m_projectFiles.insert(line);
        }
    }
}

void CSearchIndex::saveProjectFileList()
{
    std::string data;
    for (const std::string& s : m_projectFiles) {
        data += s + '\n';
    }
    files::WriteFile(listPath(m_strPath), data);
}

void CSearchIndex::rememberProjectFile(const std::string& strProjectFile)
{
    if (!strProjectFile.empty() && strProjectFile.find('\n') == std::string::npos &&
        m_projectFiles.insert(strProjectFile).second) {
        saveProjectFileList();
    }
}

void CSearchIndex::forgetProjectFile(const std::string& strProjectFile)
{
    if (m_projectFiles.erase(strProjectFile) > 0) {
        saveProjectFileList();
    }
}

bool CSearchIndex::indexPage(const std::string& strFile,
                             const std::string& strProjectFile,
                             const std::string& strProject,
                             const std::string& strTitle,
                             const std::string& strUrl)
{
    const FileStamp stamp = stampOf(strFile);
    std::string page;
    if (stamp.nSize < 0 || !files::ReadFile(strFile, page, nullptr, kMaxPageBytes)) {
        RemovePage(strFile);
        return false;
    }
    const std::string strText = SavedPageText(page);
    CStatement upsert(m_pDb, "INSERT INTO pages(path, project_file, project, title, url, mtime, size)"
                             " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT(path) DO UPDATE SET"
                             " project_file=?2, project=?3, title=?4, url=?5, mtime=?6, size=?7 RETURNING id");
    upsert.Bind(1, strFile).Bind(2, strProjectFile).Bind(3, strProject).Bind(4, strTitle).Bind(5, strUrl);
    upsert.Bind(6, stamp.nTime).Bind(7, stamp.nSize);
    int rc = upsert.Step();
    if (rc != SQLITE_ROW) {
        damaged(rc);
        return false;
    }
    const std::int64_t id = upsert.Int(0);
    upsert.Step();
    CStatement remove(m_pDb, "DELETE FROM page_text WHERE rowid=?1");
    damaged(remove.Bind(1, id).Step());
    CStatement insert(m_pDb, "INSERT INTO page_text(rowid, title, body) VALUES(?1, ?2, ?3)");
    rc = insert.Bind(1, id).Bind(2, strTitle).Bind(3, strText).Step();
    damaged(rc);
    return rc == SQLITE_DONE;
}

void CSearchIndex::removeById(std::int64_t id)
{
    CStatement text(m_pDb, "DELETE FROM page_text WHERE rowid=?1");
    damaged(text.Bind(1, id).Step());
    CStatement page(m_pDb, "DELETE FROM pages WHERE id=?1");
    damaged(page.Bind(1, id).Step());
}

bool CSearchIndex::AddPage(const std::string& strProjectFile, const std::string& strProject, const CProjectInfor& page)
{
    return AddPages(strProjectFile, strProject, {page}) == 1;
}

int CSearchIndex::AddPages(const std::string& strProjectFile,
                           const std::string& strProject,
                           const std::vector<CProjectInfor>& pages)
{
    std::lock_guard guard(m_lock);
    const std::string strAbsProjectFile = files::AbsolutePath(strProjectFile);
    int nIndexed = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!ensureOpen(nullptr)) {
            return 0;
        }
        rememberProjectFile(strAbsProjectFile);
        nIndexed = 0;
        exec("BEGIN IMMEDIATE");
        for (const CProjectInfor& page : pages) {
            nIndexed += indexPage(files::AbsolutePath(page.m_strLocalFile), strAbsProjectFile, strProject,
                                  page.m_strTitle, page.m_strUrl)
                            ? 1
                            : 0;
        }
        exec("COMMIT");
        if (!m_bDamaged) {
            break;
        }
    }
    return nIndexed;
}

bool CSearchIndex::SyncProjectFile(const std::string& strProjectFile, SyncCounts* counts, SearchStatus* status)
{
    std::lock_guard guard(m_lock);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!ensureOpen(status)) {
            return false;
        }
        const bool bOk = syncLocked(files::AbsolutePath(strProjectFile), counts, status);
        if (!m_bDamaged) {
            return bOk;
        }
    }
    return false;
}

bool CSearchIndex::syncLocked(const std::string& strProjectFile, SyncCounts* counts, SearchStatus* status)
{
    SyncCounts local;
    SyncCounts& n = counts ? *counts : local;
    n = {};
    CProjectStore store;
    store.SetPath(strProjectFile);
    store.Transfer(false);
    using Code = ProjectFileStatus::Code;
    const Code code = store.LastStatus().m_code;
    if (code == Code::CannotOpen || code == Code::WrongSignature || code == Code::Locked) {
        if (status) {
            status->m_code = SearchStatus::Code::ProjectFile;
            status->m_strMessage = store.LastStatus().m_strMessage;
        }
        if (!files::Exists(strProjectFile)) {
            // A project file that is gone takes its pages out of the index with it.
            exec("BEGIN IMMEDIATE");
            CStatement gone(m_pDb, "SELECT id FROM pages WHERE project_file=?1");
            gone.Bind(1, strProjectFile);
            std::vector<std::int64_t> ids;
            while (gone.Step() == SQLITE_ROW) {
                ids.push_back(gone.Int(0));
            }
            for (const std::int64_t id : ids) {
                removeById(id);
            }
            exec("COMMIT");
            forgetProjectFile(strProjectFile);
        }
        return false;
    }
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    rememberProjectFile(strProjectFile);
    // A damaged project file lists only the pages before the damage: the rest are kept, not dropped.
    syncPages(strProjectFile, projects, code == Code::Ok, n);
    if (code != Code::Ok && status) {
        status->m_code = SearchStatus::Code::ProjectFile;
        status->m_strMessage = store.LastStatus().m_strMessage;
    }
    return code == Code::Ok && !m_bDamaged;
}

void CSearchIndex::SyncProjects(const std::string& strProjectFile,
                                const std::vector<CProjectObject>& projects,
                                SyncCounts* counts)
{
    std::lock_guard guard(m_lock);
    const std::string strAbsProjectFile = files::AbsolutePath(strProjectFile);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!ensureOpen(nullptr)) {
            return;
        }
        rememberProjectFile(strAbsProjectFile);
        SyncCounts local;
        syncPages(strAbsProjectFile, projects, true, counts ? *counts : local);
        if (!m_bDamaged) {
            return;
        }
    }
}

void CSearchIndex::syncPages(const std::string& strProjectFile,
                             const std::vector<CProjectObject>& projects,
                             bool bComplete,
                             SyncCounts& n)
{
    n = {};
    struct Row
    {
        std::int64_t id;
        std::string strProjectFile;
        std::string strProject;
        std::string strTitle;
        std::string strUrl;
        FileStamp stamp;
    };
    exec("BEGIN IMMEDIATE");
    std::map<std::string, Row> rows;
    {
        CStatement select(m_pDb, "SELECT id, path, project_file, project, title, url, mtime, size FROM pages"
                                 " WHERE project_file=?1");
        select.Bind(1, strProjectFile);
        int rc = SQLITE_ROW;
        while ((rc = select.Step()) == SQLITE_ROW) {
            rows[select.Text(1)] = {select.Int(0),  select.Text(2), select.Text(3),
                                    select.Text(4), select.Text(5), {select.Int(6), select.Int(7)}};
        }
        damaged(rc);
    }
    std::set<std::string> listed;
    for (const CProjectObject& project : projects) {
        for (const CProjectInfor& page : project.m_pages) {
            const std::string strFile = files::AbsolutePath(page.m_strLocalFile);
            if (strFile.empty() || !listed.insert(strFile).second) {
                continue;
            }
            auto it = rows.find(strFile);
            if (it == rows.end()) {
                // Not under this project file yet; it may be under another one it has moved from.
                CStatement other(m_pDb, "SELECT id, project_file, project, title, url, mtime, size FROM pages"
                                        " WHERE path=?1");
                if (other.Bind(1, strFile).Step() == SQLITE_ROW) {
                    it = rows.emplace(strFile, Row{other.Int(0),
                                                   other.Text(1),
                                                   other.Text(2),
                                                   other.Text(3),
                                                   other.Text(4),
                                                   {other.Int(5), other.Int(6)}})
                             .first;
                }
            }
            const FileStamp stamp = stampOf(strFile);
            if (it != rows.end() && stamp.nSize >= 0 && it->second.stamp.nTime == stamp.nTime &&
                it->second.stamp.nSize == stamp.nSize) {
                const Row& row = it->second;
                if (row.strProjectFile != strProjectFile || row.strProject != project.m_strName ||
                    row.strUrl != page.m_strUrl) {
                    CStatement move(m_pDb, "UPDATE pages SET project_file=?2, project=?3, url=?4 WHERE id=?1");
                    damaged(move.Bind(1, row.id)
                                .Bind(2, strProjectFile)
                                .Bind(3, project.m_strName)
                                .Bind(4, page.m_strUrl)
                                .Step());
                }
                if (row.strTitle != page.m_strTitle) {
                    CStatement title(m_pDb, "UPDATE pages SET title=?2 WHERE id=?1");
                    damaged(title.Bind(1, row.id).Bind(2, page.m_strTitle).Step());
                    CStatement text(m_pDb, "UPDATE page_text SET title=?2 WHERE rowid=?1");
                    damaged(text.Bind(1, row.id).Bind(2, page.m_strTitle).Step());
                }
                ++n.m_nPages;
                continue;
            }
            if (indexPage(strFile, strProjectFile, project.m_strName, page.m_strTitle, page.m_strUrl)) {
                ++n.m_nPages;
                ++n.m_nRead;
            }
        }
    }
    if (bComplete) {
        for (const auto& [strFile, row] : rows) {
            if (row.strProjectFile == strProjectFile && listed.count(strFile) == 0) {
                removeById(row.id);
                ++n.m_nRemoved;
            }
        }
    }
    exec("COMMIT");
}

void CSearchIndex::RemovePage(const std::string& strFile)
{
    std::lock_guard guard(m_lock);
    if (!ensureOpen(nullptr)) {
        return;
    }
    CStatement find(m_pDb, "SELECT id FROM pages WHERE path=?1");
    if (find.Bind(1, files::AbsolutePath(strFile)).Step() == SQLITE_ROW) {
        removeById(find.Int(0));
    }
}

void CSearchIndex::RemoveProject(const std::string& strProjectFile, const std::string& strProject)
{
    std::lock_guard guard(m_lock);
    if (!ensureOpen(nullptr)) {
        return;
    }
    exec("BEGIN IMMEDIATE");
    CStatement find(m_pDb, "SELECT id FROM pages WHERE project_file=?1 AND project=?2");
    find.Bind(1, files::AbsolutePath(strProjectFile)).Bind(2, strProject);
    std::vector<std::int64_t> ids;
    while (find.Step() == SQLITE_ROW) {
        ids.push_back(find.Int(0));
    }
    for (const std::int64_t id : ids) {
        removeById(id);
    }
    exec("COMMIT");
}

void CSearchIndex::RenameProject(const std::string& strProjectFile,
                                 const std::string& strOld,
                                 const std::string& strNew)
{
    std::lock_guard guard(m_lock);
    if (!ensureOpen(nullptr)) {
        return;
    }
    CStatement rename(m_pDb, "UPDATE pages SET project=?3 WHERE project_file=?1 AND project=?2");
    damaged(rename.Bind(1, files::AbsolutePath(strProjectFile)).Bind(2, strOld).Bind(3, strNew).Step());
}

void CSearchIndex::MovePage(const std::string& strFile,
                            const std::string& strProjectFile,
                            const std::string& strProject)
{
    std::lock_guard guard(m_lock);
    if (!ensureOpen(nullptr)) {
        return;
    }
    const std::string strAbsProjectFile = files::AbsolutePath(strProjectFile);
    rememberProjectFile(strAbsProjectFile);
    CStatement move(m_pDb, "UPDATE pages SET project_file=?2, project=?3 WHERE path=?1");
    damaged(move.Bind(1, files::AbsolutePath(strFile)).Bind(2, strAbsProjectFile).Bind(3, strProject).Step());
}

void CSearchIndex::RetitlePage(const std::string& strFile, const std::string& strTitle)
{
    std::lock_guard guard(m_lock);
    if (!ensureOpen(nullptr)) {
        return;
    }
    CStatement find(m_pDb, "SELECT id FROM pages WHERE path=?1");
    if (find.Bind(1, files::AbsolutePath(strFile)).Step() != SQLITE_ROW) {
        return;
    }
    const std::int64_t id = find.Int(0);
    CStatement title(m_pDb, "UPDATE pages SET title=?2 WHERE id=?1");
    damaged(title.Bind(1, id).Bind(2, strTitle).Step());
    CStatement text(m_pDb, "UPDATE page_text SET title=?2 WHERE rowid=?1");
    damaged(text.Bind(1, id).Bind(2, strTitle).Step());
}

bool CSearchIndex::refresh(const std::vector<std::int64_t>& ids)
{
    exec("BEGIN IMMEDIATE");
    for (const std::int64_t id : ids) {
        CStatement select(m_pDb, "SELECT path, project_file, project, title, url FROM pages WHERE id=?1");
        if (select.Bind(1, id).Step() != SQLITE_ROW) {
            continue;
        }
        const std::string strFile = select.Text(0);
        if (stampOf(strFile).nSize < 0) {
            removeById(id);
        } else {
            indexPage(strFile, select.Text(1), select.Text(2), select.Text(3), select.Text(4));
        }
    }
    exec("COMMIT");
    return !m_bDamaged;
}

std::string CSearchIndex::Fts5Query(const std::string& strQuery)
{
    std::string positive;
    std::string negative;
    size_t i = 0;
    const size_t n = strQuery.size();
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (i < n) {
        if (isSpace(strQuery[i])) {
            ++i;
            continue;
        }
        if (strQuery[i] == '(' || strQuery[i] == ')') {
            positive += strQuery[i] == '(' ? " (" : " )";
            ++i;
            continue;
        }
        bool bNot = false;
        if (strQuery[i] == '-' && i + 1 < n && !isSpace(strQuery[i + 1])) {
            bNot = true;
            ++i;
        }
        std::string term;
        bool bPhrase = false;
        if (strQuery[i] == '"') {
            const size_t close = strQuery.find('"', i + 1);
            const size_t end = close == std::string::npos ? n : close;
            term = strQuery.substr(i + 1, end - i - 1);
            i = close == std::string::npos ? n : close + 1;
            bPhrase = true;
        } else {
            const size_t start = i;
            while (i < n && !isSpace(strQuery[i]) && strQuery[i] != '(' && strQuery[i] != ')' && strQuery[i] != '"') {
                ++i;
            }
            term = strQuery.substr(start, i - start);
        }
        if (!bPhrase && !bNot && (term == "AND" || term == "OR" || term == "NOT")) {
            positive += ' ' + term;
            continue;
        }
        bool bPrefix = false;
        if (!bPhrase && term.size() > 1 && term.back() == '*') {
            term.pop_back();
            bPrefix = true;
        }
        if (!hasTerms(term)) {
            continue;
        }
        std::string item = quoted(term) + (bPrefix ? "*" : "");
        (bNot ? negative : positive) += (bNot ? " NOT " : " ") + item;
    }
    if (!hasTerms(positive)) {
        return {};
    }
    std::string out = negative.empty() ? positive : "(" + positive + " )" + negative;
    return out.substr(out.find_first_not_of(' '));
}

bool CSearchIndex::Search(const std::string& strQuery,
                          const SearchScope& scope,
                          std::vector<SearchHit>& hits,
                          SearchStatus* status)
{
    std::lock_guard guard(m_lock);
    hits.clear();
    const std::string strFts = Fts5Query(strQuery);
    if (strFts.empty()) {
        if (status) {
            status->m_code = SearchStatus::Code::BadQuery;
            status->m_strMessage = "the query has no word to look for";
        }
        return false;
    }
    SearchScope absScope = scope;
    if (!absScope.m_strProjectFile.empty()) {
        absScope.m_strProjectFile = files::AbsolutePath(absScope.m_strProjectFile);
    }
    constexpr int kAttempts = 3;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!ensureOpen(status)) {
            return false;
        }
        CStatement query(m_pDb,
                         "SELECT p.path, p.title, p.project_file, p.project,"
                         " snippet(page_text, -1, ?5, ?6, '\xE2\x80\xA6', 24),"
                         " p.id, p.mtime, p.size"
                         " FROM page_text JOIN pages p ON p.id = page_text.rowid"
                         " WHERE page_text MATCH ?1 AND (?2 = '' OR p.project_file=?2) AND (?3 = '' OR p.project=?3)"
                         " ORDER BY rank LIMIT ?4");
        if (!query.Ok()) {
            damaged(query.PrepareResult());
            continue;
        }
        query.Bind(1, strFts).Bind(2, absScope.m_strProjectFile).Bind(3, absScope.m_strProject);
        query.Bind(4, static_cast<std::int64_t>(scope.m_nLimit > 0 ? scope.m_nLimit : -1));
        query.Bind(5, scope.m_strMatchOpen).Bind(6, scope.m_strMatchClose);
        std::vector<std::int64_t> stale;
        int rc = SQLITE_ROW;
        while ((rc = query.Step()) == SQLITE_ROW) {
            hits.push_back({query.Text(0), query.Text(1), query.Text(2), query.Text(3), query.Text(4)});
            const FileStamp stamp = stampOf(hits.back().m_strFile);
            if (stamp.nTime != query.Int(6) || stamp.nSize != query.Int(7)) {
                stale.push_back(query.Int(5));
            }
        }
        if (rc == SQLITE_DONE && !stale.empty() && attempt + 1 < kAttempts) {
            // A page found whose file changed or went since it was indexed is read again (or dropped) and
            // the query run again, so no hit shows text the page no longer has.
            hits.clear();
            refresh(stale);
            continue;
        }
        if (rc == SQLITE_DONE) {
            return true;
        }
        hits.clear();
        if (!damaged(rc)) {
            if (status) {
                status->m_code = SearchStatus::Code::BadQuery;
                status->m_strMessage = sqlite3_errmsg(m_pDb);
            }
            return false;
        }
    }
    if (status) {
        status->m_code = SearchStatus::Code::IndexUnavailable;
        status->m_strMessage = "the search index " + m_strPath + " is damaged and could not be rebuilt";
    }
    return false;
}
