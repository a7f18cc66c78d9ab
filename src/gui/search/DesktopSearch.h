#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

#include "project/ProjectRecords.h"
#include "search/SearchIndex.h"

class CSearchService;

// The window's search: keeps the user's index in line with the projects the window holds (pages a job
// saves, the tree's edits, the project file opened or saved) and runs queries, all off the interface
// thread. Results and news of the index arrive as signals on the interface thread.
class CDesktopSearch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDesktopSearch)

public:
    // Where the window's projects come from, read when the index follows them.
    struct Source
    {
        std::function<std::vector<CProjectObject>()> projects;
        // The current project file; empty while the projects were never saved.
        std::function<QString()> projectFile;
    };

    // What a hit's snippet puts around each match.
    static constexpr char16_t kMatchOpen = 0x02;
    static constexpr char16_t kMatchClose = 0x03;

    CDesktopSearch(const QString& strIndexPath, Source source, QObject* parent = nullptr);
    ~CDesktopSearch() override;

    // A page a job saved into the project strProject: indexed at once.
    void PageSaved(const QString& strProject, const QString& strTitle, const QString& strFile, const QString& strUrl);
    // The window's projects changed: the index follows them shortly (edits and saved pages come in bursts).
    void ProjectsChanged();
    // The projects were opened from or written to the current project file: the index follows them now.
    void ProjectFileUsed();

    // Runs a query; resultsReady names it by the number returned.
    std::uint64_t Search(const QString& strQuery, int nLimit);
    // Blocks until the index holds every change given so far (tests).
    void WaitIndexed();

signals:
    void resultsReady(std::uint64_t nQuery, const std::vector<SearchHit>& hits, const SearchStatus& status);
    // Pages were indexed or the index followed an edit: a shown result list may be out of date.
    void indexChanged();

private:
    void syncNow();

    Source m_source;
    // The project file the index last followed the window's projects for.
    QString m_strProjectFile;
    QTimer m_syncTimer;
    std::unique_ptr<CSearchService> m_pService;
};
