#include "search/DesktopSearch.h"

#include <QMetaObject>

#include "common/Text.h"
#include "search/SearchService.h"

namespace
{
// How long edits gather before the index follows them.
constexpr int kSyncDelayMs = 500;
} // namespace

CDesktopSearch::CDesktopSearch(const QString& strIndexPath, Source source, QObject* parent)
    : QObject(parent)
    , m_source(std::move(source))
{
    m_syncTimer.setSingleShot(true);
    m_syncTimer.setInterval(kSyncDelayMs);
    connect(&m_syncTimer, &QTimer::timeout, this, &CDesktopSearch::syncNow);
    // Both callbacks run on the service's threads; the service is gone before this object is.
    m_pService = std::make_unique<CSearchService>(
        fromQ(strIndexPath),
        [this] {
            QMetaObject::invokeMethod(
                this, [this] { emit indexChanged(); }, Qt::QueuedConnection);
        },
        [this](std::uint64_t nQuery, std::vector<SearchHit> hits, SearchStatus status) {
            QMetaObject::invokeMethod(
                this,
                [this, nQuery, hits = std::move(hits), status = std::move(status)] {
                    emit resultsReady(nQuery, hits, status);
                },
                Qt::QueuedConnection);
        });
}

CDesktopSearch::~CDesktopSearch()
{
    m_pService.reset();
}

void CDesktopSearch::PageSaved(const QString& strProject,
                               const QString& strTitle,
                               const QString& strFile,
                               const QString& strUrl)
{
    CProjectInfor page;
    page.m_strTitle = fromQ(strTitle);
    page.m_strLocalFile = fromQ(strFile);
    page.m_strUrl = fromQ(strUrl);
    m_pService->AddPage(fromQ(m_source.projectFile()), fromQ(strProject), page);
}

void CDesktopSearch::ProjectsChanged()
{
    // Not restarted by each edit: a long job still has its pages followed every half second.
    if (!m_syncTimer.isActive()) {
        m_syncTimer.start();
    }
}

void CDesktopSearch::ProjectFileUsed()
{
    syncNow();
}

void CDesktopSearch::syncNow()
{
    m_syncTimer.stop();
    const QString strProjectFile = m_source.projectFile();
    m_pService->SyncProjects(fromQ(strProjectFile), m_source.projects());
    if (strProjectFile != m_strProjectFile) {
        if (m_strProjectFile.isEmpty()) {
            // Pages of projects never saved that the new file does not hold were dropped with them.
            m_pService->SyncProjects(std::string(), {});
        } else {
            // The file left behind keeps what it holds on disk, not the window's unsaved edits.
            m_pService->SyncProjectFile(fromQ(m_strProjectFile));
        }
        m_strProjectFile = strProjectFile;
    }
}

std::uint64_t CDesktopSearch::Search(const QString& strQuery, int nLimit)
{
    SearchScope scope;
    scope.m_nLimit = nLimit;
    // Characters a page's text never holds, so the list can tell the marks from the text.
    scope.m_strMatchOpen = std::string(1, static_cast<char>(kMatchOpen));
    scope.m_strMatchClose = std::string(1, static_cast<char>(kMatchClose));
    return m_pService->Search(fromQ(strQuery), scope);
}

void CDesktopSearch::WaitIndexed()
{
    m_pService->WaitIndexed();
}
