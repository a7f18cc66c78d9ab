#pragma once

#include <cstdint>
#include <string>

#include <QObject>
#include <QString>

#include "common/CommandContext.h"
#include "jobs/DownloadJobs.h"

class QMimeData;
class QTreeWidgetItem;

// The commands that start, feed and stop download jobs: a new project with the wizard or an empty one,
// more pages from the Internet for a project, stop, and the report when a job ends. A link dragged from
// a web browser and dropped on a project adds pages to it; dropped anywhere else in the window it
// starts a new project. The jobs run in the download jobs of the context; the report of each job that
// ends is shown from here.
class CDownloadCommands final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDownloadCommands)

public:
    explicit CDownloadCommands(CCommandContext context, QObject* parent = nullptr);
    ~CDownloadCommands() override;

    // strFirstUrl, when given, is the wizard's first address instead of the recorded one.
    void NewProject(const QString& strFirstUrl = {});
    void NewEmptyProject();
    // For the selected project; strUrl, when given, is the dialog's first address.
    void AddFromInternet(const QString& strUrl = {});
    void AddFromInternet(QTreeWidgetItem* project, const QString& strUrl);
    void StopDownload();
    // A job ended: the desktop is told when the window is not in front, then the report is shown.
    void JobFinished(const CDownloadJobs::Summary& summary);

    // The web address a drag carries (a link from a web browser), or an empty string.
    static QString DroppedUrl(const QMimeData* mime);
    static QString BusyText(const QString& strProject);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isInFrame(const QWidget* widget) const;
    // The project under a drop on the project tree, or null.
    QTreeWidgetItem* projectAt(QWidget* widget, const QPoint& pos) const;
    bool refuseWhenBusy(QTreeWidgetItem* project);

    CCommandContext m_context;
};
