#pragma once

#include <cstdint>
#include <string>

#include <QObject>
#include <QString>

class CMainFrame;
class QMimeData;
class QTreeWidgetItem;

// The commands that start, feed and stop download jobs: a new project with the wizard or an empty one,
// more pages from the Internet for a project, stop, and the report when a job ends. A link dragged from
// a web browser and dropped on a project adds pages to it; dropped anywhere else in the window it
// starts a new project. The frame routes the commands here and keeps the tasks and the jobs.
class CDownloadCommands final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDownloadCommands)

public:
    explicit CDownloadCommands(CMainFrame& frame);
    ~CDownloadCommands() override;

    // strFirstUrl, when given, is the wizard's first address instead of the recorded one.
    void NewProject(const QString& strFirstUrl = {});
    void NewEmptyProject();
    // For the selected project; strUrl, when given, is the dialog's first address.
    void AddFromInternet(const QString& strUrl = {});
    void AddFromInternet(QTreeWidgetItem* project, const QString& strUrl);
    void StopDownload();
    // A job ended: the desktop is told when the window is not in front, then the report is shown.
    void JobFinished(const std::string& strSummary);

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

    CMainFrame& m_frame;
};
