#include "SearchQueue.h"

#include <utility>
#include <vector>

#include "SearchIndex.h"

CSearchQueue::CSearchQueue(CSearchIndex& index, std::function<void()> onIndexed)
    : m_index(index)
    , m_onIndexed(std::move(onIndexed))
    , m_thread([this] { run(); })
{}

CSearchQueue::~CSearchQueue()
{
    {
        std::lock_guard guard(m_mutex);
        m_bStop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void CSearchQueue::Add(const std::string& strProjectFile, const std::string& strProject, const CProjectInfor& page)
{
    {
        std::lock_guard guard(m_mutex);
        m_items.push_back({strProjectFile, strProject, page, {}});
    }
    m_changed.notify_all();
}

void CSearchQueue::Post(std::function<void(CSearchIndex&)> change)
{
    {
        std::lock_guard guard(m_mutex);
        m_items.push_back({{}, {}, {}, std::move(change)});
    }
    m_changed.notify_all();
}

void CSearchQueue::Wait()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_items.empty() && !m_bBusy; });
}

void CSearchQueue::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_bStop || !m_items.empty(); });
        if (m_items.empty()) {
            return;
        }
        std::function<void(CSearchIndex&)> work = std::move(m_items.front().change);
        if (!work) {
            // Pages of one project go in together; a job's pages arrive in runs of the same project.
            std::vector<CProjectInfor> batch;
            const std::string strProjectFile = m_items.front().strProjectFile;
            const std::string strProject = m_items.front().strProject;
            while (!m_items.empty() && !m_items.front().change && m_items.front().strProjectFile == strProjectFile &&
                   m_items.front().strProject == strProject) {
                batch.push_back(std::move(m_items.front().page));
                m_items.pop_front();
            }
            work = [strProjectFile, strProject, batch = std::move(batch)](CSearchIndex& index) {
                index.AddPages(strProjectFile, strProject, batch);
            };
        } else {
            m_items.pop_front();
        }
        m_bBusy = true;
        lock.unlock();
        work(m_index);
        if (m_onIndexed) {
            m_onIndexed();
        }
        lock.lock();
        m_bBusy = false;
        m_changed.notify_all();
    }
}
