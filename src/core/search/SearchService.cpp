#include "SearchService.h"

#include <utility>

CSearchService::CSearchService(const std::string& strPath, std::function<void()> onIndexed, ResultSink onResults)
    : m_onResults(std::move(onResults))
    , m_writer(strPath)
    , m_queue(m_writer, std::move(onIndexed))
    , m_reader(strPath)
{
    // Only one connection may rebuild a damaged index: the indexing one, before any query runs.
    m_queue.Post([this](CSearchIndex& index) {
        index.Open();
        {
            std::lock_guard guard(m_mutex);
            m_bReady = true;
        }
        m_changed.notify_all();
    });
    m_thread = std::thread([this] { runQueries(); });
}

CSearchService::~CSearchService()
{
    {
        std::lock_guard guard(m_mutex);
        m_bStop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void CSearchService::AddPage(const std::string& strProjectFile,
                             const std::string& strProject,
                             const CProjectInfor& page)
{
    m_queue.Add(strProjectFile, strProject, page);
}

void CSearchService::SyncProjects(const std::string& strProjectFile, const std::vector<CProjectObject>& projects)
{
    m_queue.Post(
        [strProjectFile, projects](CSearchIndex& index) { index.SyncProjects(strProjectFile, projects, nullptr); });
}

void CSearchService::SyncProjectFile(const std::string& strProjectFile)
{
    m_queue.Post([strProjectFile](CSearchIndex& index) { index.SyncProjectFile(strProjectFile, nullptr); });
}

std::uint64_t CSearchService::Search(const std::string& strQuery, const SearchScope& scope)
{
    std::uint64_t nQuery = 0;
    {
        std::lock_guard guard(m_mutex);
        nQuery = ++m_nLastQuery;
        m_nPendingQuery = nQuery;
        m_strPendingQuery = strQuery;
        m_pendingScope = scope;
    }
    m_changed.notify_all();
    return nQuery;
}

void CSearchService::WaitIndexed()
{
    m_queue.Wait();
}

void CSearchService::runQueries()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_bStop || (m_bReady && m_nPendingQuery != 0); });
        if (m_bStop) {
            return;
        }
        const std::uint64_t nQuery = std::exchange(m_nPendingQuery, 0);
        const std::string strQuery = std::move(m_strPendingQuery);
        const SearchScope scope = m_pendingScope;
        lock.unlock();
        std::vector<SearchHit> hits;
        SearchStatus status;
        m_reader.Search(strQuery, scope, hits, &status);
        m_onResults(nQuery, std::move(hits), std::move(status));
        lock.lock();
    }
}
