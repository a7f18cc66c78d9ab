#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SearchIndex.h"
#include "SearchQueue.h"

// Search for a program that runs for long (the desktop window): every change to the index runs in order
// on the queue's thread, every query on a thread of its own with a connection of its own, so a query
// never waits behind a batch of pages and the caller waits for neither. The index is opened (rebuilt
// when damaged) on the indexing thread first; queries wait for that. Of the queries given while one
// runs, only the newest is run.
class CSearchService
{
public:
    // Called on the query thread with the number Search gave, the hits and what the search came to.
    using ResultSink = std::function<void(std::uint64_t nQuery, std::vector<SearchHit> hits, SearchStatus status)>;

    // onIndexed runs on the indexing thread after each change; both callbacks must stay valid until the
    // service is destroyed.
    CSearchService(const std::string& strPath, std::function<void()> onIndexed, ResultSink onResults);
    // Ends the query thread, then applies the changes still waiting.
    ~CSearchService();
    CSearchService(const CSearchService&) = delete;
    CSearchService& operator=(const CSearchService&) = delete;

    // Changes, from any thread; they return at once.
    void AddPage(const std::string& strProjectFile, const std::string& strProject, const CProjectInfor& page);
    void SyncProjects(const std::string& strProjectFile, const std::vector<CProjectObject>& projects);
    void SyncProjectFile(const std::string& strProjectFile);

    // Queues a query and returns its number (counting up from 1).
    std::uint64_t Search(const std::string& strQuery, const SearchScope& scope);
    // Blocks until every change given so far is in the index.
    void WaitIndexed();

private:
    void runQueries();

    ResultSink m_onResults;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_bReady = false;
    bool m_bStop = false;
    std::uint64_t m_nLastQuery = 0;
    std::uint64_t m_nPendingQuery = 0; // 0: none waiting
    std::string m_strPendingQuery;
    SearchScope m_pendingScope;
    // Declared after what the queue's changes touch, so those outlive it.
    CSearchIndex m_writer;
    CSearchQueue m_queue;
    CSearchIndex m_reader;
    std::thread m_thread;
};
