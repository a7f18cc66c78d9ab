#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "project/ProjectRecords.h"

class CSearchIndex;

// Indexes saved pages on a thread of its own, so a download job (or the window) never waits for the
// index: Add returns at once and the page is read and indexed shortly after, several at a time in one
// transaction. Other changes to the index (Post) run on the same thread, in the order they were given.
class CSearchQueue
{
public:
    // index must outlive the queue. onIndexed, when set, is called on the queue's thread after each batch
    // and each posted change.
    explicit CSearchQueue(CSearchIndex& index, std::function<void()> onIndexed = {});
    // Indexes what is still waiting, then ends the thread.
    ~CSearchQueue();
    CSearchQueue(const CSearchQueue&) = delete;
    CSearchQueue& operator=(const CSearchQueue&) = delete;

    void Add(const std::string& strProjectFile, const std::string& strProject, const CProjectInfor& page);
    // Runs change on the queue's thread after everything added or posted before it.
    void Post(std::function<void(CSearchIndex&)> change);
    // Blocks until every page added so far is indexed.
    void Wait();

private:
    struct Item
    {
        std::string strProjectFile;
        std::string strProject;
        CProjectInfor page;
        std::function<void(CSearchIndex&)> change; // set: a change, not a page
    };
    void run();

    CSearchIndex& m_index;
    std::function<void()> m_onIndexed;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_items;
    bool m_bBusy = false;
    bool m_bStop = false;
    std::thread m_thread;
};
