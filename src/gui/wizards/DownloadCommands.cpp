#include "wizards/DownloadCommands.h"

#include <QApplication>
#include <QDockWidget>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidgetItem>
#include <QUrl>

#include "app/MainFrame.h"
#include "app/MessageBar.h"
#include "app/Text.h"
#include "download/DownloadLog.h"
#include "download/DownloadWorker.h"
#include "platform/Files.h"
#include "project/ProjectBar.h"
#include "project/ProjectTree.h"
#include "project/TrawlixDoc.h"
#include "wizards/AddPageDlg.h"
#include "wizards/DownloadReportDlg.h"
#include "wizards/WizardPage1.h"
#include "wizards/WizardPage2.h"
#include "wizards/WizardPage3.h"
#include "wizards/WizardSheet.h"

namespace
{
QString webAddress(const QString& strText)
{
    const QUrl url(strText.trimmed());
    const QString strScheme = url.scheme().toLower();
    if (!url.isValid() || (strScheme != QStringLiteral("http") && strScheme != QStringLiteral("https"))) {
        return {};
    }
    return url.toString();
}

bool isDragEvent(const QEvent* event)
{
    return event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop;
}
} // namespace

CDownloadCommands::CDownloadCommands(CMainFrame& frame)
    : QObject(&frame)
    , m_frame(frame)
{
    // Links are dropped anywhere in the window; the tree takes them itself so a drop knows its node.
    m_frame.setAcceptDrops(true);
    m_frame.ProjectBar()->Tree()->viewport()->setAcceptDrops(true);
    qApp->installEventFilter(this);
}

CDownloadCommands::~CDownloadCommands()
{
    qApp->removeEventFilter(this);
}

QString CDownloadCommands::BusyText(const QString& strProject)
{
    return QStringLiteral("工程 '%1' 正在下载，请等它下载完成或停止下载后再试。").arg(strProject);
}

bool CDownloadCommands::refuseWhenBusy(QTreeWidgetItem* project)
{
    // Two jobs in one project would save into the same folder and race over its page names.
    if (!m_frame.IsDownloading(m_frame.ProjectBar()->ProjectKey(project))) {
        return false;
    }
    m_frame.Prompts().messageBox(&m_frame, QMessageBox::Warning, QStringLiteral("Trawlix"),
                                 BusyText(m_frame.ProjectBar()->GetItemText(project)), QMessageBox::Ok);
    return true;
}

void CDownloadCommands::NewProject(const QString& strFirstUrl)
{
    CWizardDefaults defaults;
    m_frame.GetRecordedUrls(defaults.strStartUrl, defaults.strEndUrl);
    defaults.strAddress = m_frame.GetAddressText();
    defaults.strDocumentsFolder = toQ(files::DocumentsFolder());
    if (!strFirstUrl.isEmpty()) {
        defaults.strStartUrl = strFirstUrl;
        defaults.strEndUrl.clear();
    }
    CWizardSheet wizard(m_frame.Prompts(), defaults, &m_frame);
    if (m_frame.Prompts().execDialog(wizard) != QDialog::Accepted) {
        return;
    }
    const CWizardPage2& where = *wizard.Page2();
    const CWizardPage3& save = *wizard.Page3();
    QTreeWidgetItem* project = m_frame.addProjectWithTask(wizard.Page1()->m_strName);
    const std::uintptr_t key = m_frame.ProjectBar()->ProjectKey(project);
    CDownloadTask* task = m_frame.TaskFor(key);
    task->m_strSaveFolder = fromQ(CWizardPage3::SaveFolderOf(save.m_strSaveFolder));
    task->m_strFirstUrl = fromQ(where.m_strFromUrl);
    task->m_strLastUrl = fromQ(where.m_strToUrl);
    task->m_nAddCount = 0;
    task->m_nMode = where.m_nMode;
    task->m_strTopUrl = fromQ(where.m_strTopUrl);
    task->m_bKeepScripts = save.m_bKeepScripts;
    task->m_bComplete = save.m_bComplete;

    m_frame.ProjectBar()->show();
    m_frame.ProjectBar()->Tree()->expandItem(m_frame.ProjectBar()->Tree()->Root());
    m_frame.MessageBar()->show();
    m_frame.MessageBar()->ResetLog();
    m_frame.StartDownload(key);
}

void CDownloadCommands::NewEmptyProject()
{
    QTreeWidgetItem* project = m_frame.addProjectWithTask(CProjectBar::NewProjectName());
    m_frame.ProjectBar()->Tree()->expandItem(m_frame.ProjectBar()->Tree()->Root());
    m_frame.TaskFor(m_frame.ProjectBar()->ProjectKey(project))->m_strSaveFolder = SaveFolderForPages({});
    // Selected and scrolled into view, ready for pages or a new name.
    m_frame.ProjectBar()->SelectNode(project);
}

void CDownloadCommands::AddFromInternet(const QString& strUrl)
{
    AddFromInternet(m_frame.ProjectBar()->GetSelectedProject(), strUrl);
}

void CDownloadCommands::AddFromInternet(QTreeWidgetItem* project, const QString& strUrl)
{
    if (!project) {
        return;
    }
    const std::uintptr_t key = m_frame.ProjectBar()->ProjectKey(project);
    if (!m_frame.TaskFor(key) || refuseWhenBusy(project)) {
        return;
    }
    CAddPageDlg dialog(m_frame.Prompts(), &m_frame);
    m_frame.GetRecordedUrls(dialog.m_strFromUrl, dialog.m_strToUrl);
    if (!strUrl.isEmpty()) {
        dialog.m_strFromUrl = strUrl;
        dialog.m_strToUrl.clear();
    }
    // The project's last choice of saving pages complete stands until the user changes it.
    dialog.m_bComplete = m_frame.TaskFor(key)->m_bComplete;
    if (m_frame.Prompts().execDialog(dialog) != QDialog::Accepted) {
        return;
    }
    // The project may have gone while the dialog was open (a job's report, a file opened meanwhile).
    CDownloadTask* task = m_frame.TaskFor(key);
    if (!task) {
        return;
    }
    // The add count makes the new pages' names differ from those of the project's earlier jobs.
    task->m_nAddCount += 1;
    task->m_strFirstUrl = fromQ(dialog.m_strFromUrl);
    task->m_strLastUrl = fromQ(dialog.m_strToUrl);
    task->m_nMode = 0;
    task->m_bKeepScripts = dialog.m_bKeepScripts;
    task->m_bComplete = dialog.m_bComplete;
    if (m_frame.StartDownload(key)) {
        m_frame.Document()->MarkModified();
    }
}

void CDownloadCommands::StopDownload()
{
    // Each running job is told itself: one stop event would end only the first job to look at it, and
    // one set while nothing downloads would end the next job before its first page.
    m_frame.StopAllDownloads();
}

void CDownloadCommands::JobFinished(const std::string& strSummary)
{
    if (!QApplication::activeWindow() && m_frame.Prompts().notify) {
        const std::vector<std::string> fields = SplitFields(strSummary);
        const auto field = [&](size_t n) { return n < fields.size() ? toQ(fields[n]).trimmed() : QString(); };
        m_frame.Prompts().notify(
            QStringLiteral("工程下载完成"),
            QStringLiteral("工程名: %1\n下载网页成功: %2\n下载网页失败: %3").arg(field(0), field(1), field(2)));
    }
    CDownloadReportDlg dialog(&m_frame);
    dialog.m_strSummary = toQ(strSummary);
    m_frame.Prompts().execDialog(dialog);
}

QString CDownloadCommands::DroppedUrl(const QMimeData* mime)
{
    if (!mime) {
        return {};
    }
    for (const QUrl& url : mime->urls()) {
        const QString strUrl = webAddress(url.toString());
        if (!strUrl.isEmpty()) {
            return strUrl;
        }
    }
    // Browsers also give the link as "address\ntitle", in UTF-16.
    const QByteArray bytes = mime->data(QStringLiteral("text/x-moz-url"));
    if (!bytes.isEmpty()) {
        const bool bWide = bytes.size() % 2 == 0 && bytes.contains('\0');
        const QString strText =
            bWide ? QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2)
                  : QString::fromUtf8(bytes);
        return webAddress(strText.section(QLatin1Char('\n'), 0, 0).remove(QChar(u'\0')));
    }
    return {};
}

bool CDownloadCommands::isInFrame(const QWidget* widget) const
{
    // Floating bars are windows of their own, yet still the frame's; dialogs are not.
    const QWidget* window = widget->window();
    if (window != &m_frame && !qobject_cast<const QDockWidget*>(window)) {
        return false;
    }
    for (; widget; widget = widget->parentWidget()) {
        if (widget == &m_frame) {
            return true;
        }
    }
    return false;
}

QTreeWidgetItem* CDownloadCommands::projectAt(QWidget* widget, const QPoint& pos) const
{
    CProjectTree* tree = m_frame.ProjectBar()->Tree();
    QWidget* viewport = tree->viewport();
    if (widget != viewport && !viewport->isAncestorOf(widget)) {
        return nullptr;
    }
    QTreeWidgetItem* item = tree->itemAt(viewport->mapFrom(widget, pos));
    if (tree->IsPage(item)) {
        return item->parent();
    }
    return tree->IsProject(item) ? item : nullptr;
}

bool CDownloadCommands::eventFilter(QObject* watched, QEvent* event)
{
    if (!isDragEvent(event) || !watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (!isInFrame(widget) || QApplication::activeModalWidget()) {
        return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    const QString strUrl = DroppedUrl(drop->mimeData());
    if (strUrl.isEmpty()) {
        return false;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (event->type() == QEvent::Drop) {
        QTreeWidgetItem* project = projectAt(widget, drop->position().toPoint());
        // The drag ends before a dialog opens, so the browser the link came from is free again.
        QMetaObject::invokeMethod(
            this,
            [this, strUrl, key = project ? m_frame.ProjectBar()->ProjectKey(project) : 0] {
                if (QTreeWidgetItem* target = key ? m_frame.ProjectBar()->ProjectByKey(key) : nullptr) {
                    AddFromInternet(target, strUrl);
                } else if (key == 0) {
                    NewProject(strUrl);
                }
            },
            Qt::QueuedConnection);
    }
    return true;
}
