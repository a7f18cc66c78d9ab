#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct sqlite3;
class CProjectInfor;
class CProjectObject;

// One page that a search found.
struct SearchHit
{
    std::string m_strFile;
    std::string m_strTitle;
    std::string m_strProjectFile;
    std::string m_strProject;
    std::string m_strSnippet; // text around the best match, matches between 【 and 】
};

// Which pages a search looks at and how many hits it returns.
struct SearchScope
{
    std::string m_strProjectFile; // empty: every project file
    std::string m_strProject;     // empty: every project
    int m_nLimit = 20;
    // What the snippet puts around each match.
    std::string m_strMatchOpen = "\xE3\x80\x90";  // 【
    std::string m_strMatchClose = "\xE3\x80\x91"; // 】
};

// What a call on the index came to.
struct SearchStatus
{
    enum class Code
    {
        Ok,
        BadQuery,        // the query cannot be read (nothing to find, an unbalanced operator)
        ProjectFile,     // the project file cannot be read
        IndexUnavailable // the index cannot be opened or written (its folder is not writable)
    };
    Code m_code = Code::Ok;
    std::string m_strMessage; // English, for the terminal
};

// What SyncProjectFile did.
struct SyncCounts
{
    int m_nPages = 0;   // pages of the project file now in the index
    int m_nRead = 0;    // pages read again (new or changed on disk)
    int m_nRemoved = 0; // pages dropped because the project file no longer lists them
};

// The user's search index over the text of saved pages: one SQLite file with an FTS5 table, keyed by the
// page file's absolute path, each page knowing its project file and project. Every project file that
// has been indexed is also listed in a small text file beside the index, so that an index found damaged
// is deleted and rebuilt from those project files instead of failing.
//
// Safe to call from any thread (one call at a time runs); several programs may share the index file.
class CSearchIndex
{
public:
    // <data folder>/search.sqlite
    static std::string DefaultPath();

    explicit CSearchIndex(std::string strPath);
    ~CSearchIndex();
    CSearchIndex(const CSearchIndex&) = delete;
    CSearchIndex& operator=(const CSearchIndex&) = delete;

    // Opens (creating or rebuilding as needed). Each call below opens on first use as well.
    bool Open(SearchStatus* status = nullptr);

    // Reads one saved page and indexes it under its project; false when its file cannot be read.
    bool AddPage(const std::string& strProjectFile, const std::string& strProject, const CProjectInfor& page);
    // The same for several pages at once, in one transaction; returns how many were indexed.
    int
    AddPages(const std::string& strProjectFile, const std::string& strProject, const std::vector<CProjectInfor>& pages);
    // Brings the index in line with a project file: its new and changed pages read, titles and projects
    // taken over, pages it no longer lists dropped. False with status when the file cannot be read.
    bool SyncProjectFile(const std::string& strProjectFile, SyncCounts* counts, SearchStatus* status = nullptr);
    // The same with the projects as a window holds them, saved or not, without reading the file. An empty
    // project file stands for projects never saved to one.
    void SyncProjects(const std::string& strProjectFile,
                      const std::vector<CProjectObject>& projects,
                      SyncCounts* counts = nullptr);

    // The tree's edits, followed without reading the project file again.
    void RemovePage(const std::string& strFile);
    void RemoveProject(const std::string& strProjectFile, const std::string& strProject);
    void RenameProject(const std::string& strProjectFile, const std::string& strOld, const std::string& strNew);
    void MovePage(const std::string& strFile, const std::string& strProjectFile, const std::string& strProject);
    void RetitlePage(const std::string& strFile, const std::string& strTitle);

    // Best hits first. A page found whose file changed on disk since it was indexed is read again (one
    // whose file is gone dropped) and the query run again, so hits never show stale text. False with status for a query
    // that cannot be read or an index that cannot be opened.
    bool Search(const std::string& strQuery,
                const SearchScope& scope,
                std::vector<SearchHit>& hits,
                SearchStatus* status = nullptr);

    // The query as FTS5 reads it: words and "quoted phrases" as strings, -word as NOT, AND/OR/NOT and
    // parentheses kept, word* as a prefix. Empty when nothing in it can be searched for.
    static std::string Fts5Query(const std::string& strQuery);

private:
    struct FileStamp
    {
        std::int64_t nTime = -1;
        std::int64_t nSize = -1;
    };
    static FileStamp stampOf(const std::string& strFile);

    bool ensureOpen(SearchStatus* status);
    bool openFile(SearchStatus* status);
    void close();
    bool rebuild(SearchStatus* status);
    bool damaged(int rc);
    bool exec(const char* sql);
    bool indexPage(const std::string& strFile,
                   const std::string& strProjectFile,
                   const std::string& strProject,
                   const std::string& strTitle,
                   const std::string& strUrl);
    void removeById(std::int64_t id);
    bool refresh(const std::vector<std::int64_t>& ids);
    bool syncLocked(const std::string& strProjectFile, SyncCounts* counts, SearchStatus* status);
    void syncPages(const std::string& strProjectFile,
                   const std::vector<CProjectObject>& projects,
                   bool bComplete,
                   SyncCounts& n);
    void rememberProjectFile(const std::string& strProjectFile);
    void forgetProjectFile(const std::string& strProjectFile);
    void loadProjectFileList();
    void saveProjectFileList();

    std::string m_strPath;
    sqlite3* m_pDb = nullptr;
    bool m_bDamaged = false;
    bool m_bRebuilding = false;
    std::set<std::string> m_projectFiles;
    std::recursive_mutex m_lock;
};
