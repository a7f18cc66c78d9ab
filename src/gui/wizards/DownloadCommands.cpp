#include "wizards/DownloadCommands.h"

#include <QApplication>
#include <QDockWidget>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidgetItem>
#include <QUrl>

#include "common/Text.h"
#include "common/UserPrompts.h"
#include "download/DownloadWorker.h"
#include "platform/Files.h"
#include "project/ProjectBar.h"
#include "project/ProjectCommands.h"
#include "project/ProjectTree.h"
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

CDownloadCommands::CDownloadCommands(CCommandContext context, QObject* parent)
    : QObject(parent)
    , m_context(std::move(context))
{
    // Links are dropped anywhere in the window; the tree takes them itself so a drop knows its node.
    m_context.pWindow->setAcceptDrops(true);
    m_context.pProjects->Tree()->viewport()->setAcceptDrops(true);
    connect(m_context.pJobs, &CDownloadJobs::jobFinished, this, &CDownloadCommands::JobFinished);
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
    if (!m_context.pJobs->IsDownloading(m_context.pProjects->ProjectKey(project))) {
        return false;
    }
    m_context.pPrompts->messageBox(m_context.pWindow, QMessageBox::Warning, QStringLiteral("Trawlix"),
                                   BusyText(m_context.pProjects->GetItemText(project)), QMessageBox::Ok);
    return true;
}

void CDownloadCommands::NewProject(const QString& strFirstUrl)
{
    CWizardDefaults defaults;
    m_context.recordedUrls(defaults.strStartUrl, defaults.strEndUrl);
    defaults.strAddress = m_context.addressText();
    defaults.strDocumentsFolder = toQ(files::DocumentsFolder());
    if (!strFirstUrl.isEmpty()) {
        defaults.strStartUrl = strFirstUrl;
        defaults.strEndUrl.clear();
    }
    CWizardSheet wizard(*m_context.pPrompts, defaults, m_context.pWindow);
    if (m_context.pPrompts->execDialog(wizard) != QDialog::Accepted) {
        return;
    }
    const CWizardPage2& where = *wizard.Page2();
    const CWizardPage3& save = *wizard.Page3();
    QTreeWidgetItem* project = CProjectCommands::AddProject(m_context, wizard.Page1()->m_strName);
    const std::uintptr_t key = m_context.pProjects->ProjectKey(project);
    CDownloadTask* task = m_context.pJobs->TaskFor(key);
    task->m_strSaveFolder = fromQ(CWizardPage3::SaveFolderOf(save.m_strSaveFolder));
    task->m_strFirstUrl = fromQ(where.m_strFromUrl);
    task->m_strLastUrl = fromQ(where.m_strToUrl);
    task->m_nAddCount = 0;
    task->m_nMode = where.m_nMode;
    task->m_strTopUrl = fromQ(where.m_strTopUrl);
    task->m_bKeepScripts = save.m_bKeepScripts;
    task->m_bComplete = save.m_bComplete;
    task->m_bRender = save.m_bRender;

    m_context.pProjects->show();
    m_context.pProjects->Tree()->expandItem(m_context.pProjects->Tree()->Root());
    m_context.showLog();
    m_context.pJobs->Start(key);
}

void CDownloadCommands::NewEmptyProject()
{
    QTreeWidgetItem* project = CProjectCommands::AddProject(m_context, CProjectBar::NewProjectName());
    m_context.pProjects->Tree()->expandItem(m_context.pProjects->Tree()->Root());
    m_context.pJobs->TaskFor(m_context.pProjects->ProjectKey(project))->m_strSaveFolder = SaveFolderForPages({});
    // Selected and scrolled into view, ready for pages or a new name.
    m_context.pProjects->SelectNode(project);
}

void CDownloadCommands::AddFromInternet(const QString& strUrl)
{
    AddFromInternet(m_context.pProjects->GetSelectedProject(), strUrl);
}

void CDownloadCommands::AddFromInternet(QTreeWidgetItem* project, const QString& strUrl)
{
    if (!project) {
        return;
    }
    const std::uintptr_t key = m_context.pProjects->ProjectKey(project);
    if (!m_context.pJobs->TaskFor(key) || refuseWhenBusy(project)) {
        return;
    }
    CAddPageDlg dialog(*m_context.pPrompts, m_context.pWindow);
    m_context.recordedUrls(dialog.m_strFromUrl, dialog.m_strToUrl);
    if (!strUrl.isEmpty()) {
        dialog.m_strFromUrl = strUrl;
        dialog.m_strToUrl.clear();
    }
    // The project's last choice of saving pages complete stands until the user changes it.
    dialog.m_bComplete = m_context.pJobs->TaskFor(key)->m_bComplete;
    dialog.m_bRender = m_context.pJobs->TaskFor(key)->m_bRender;
    if (m_context.pPrompts->execDialog(dialog) != QDialog::Accepted) {
        return;
    }
    // The project may have gone while the dialog was open (a job's report, a file opened meanwhile).
    CDownloadTask* task = m_context.pJobs->TaskFor(key);
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
    task->m_bRender = dialog.m_bRender;
    if (m_context.pJobs->Start(key)) {
        m_context.markModified();
    }
}

void CDownloadCommands::StopDownload()
{
    // Each running job is told itself: one stop event would end only the first job to look at it, and
    // one set while nothing downloads would end the next job before its first page.
    m_context.pJobs->StopAll();
}

void CDownloadCommands::JobFinished(const CDownloadJobs::Summary& summary)
{
    if (!QApplication::activeWindow() && m_context.pPrompts->notify) {
        m_context.pPrompts->notify(QStringLiteral("工程下载完成"),
                                   QStringLiteral("工程名: %1\n下载网页成功: %2\n下载网页失败: %3")
                                       .arg(summary.strProject, summary.strSaved, summary.strFailed));
    }
    CDownloadReportDlg dialog(m_context.pWindow);
    dialog.m_strSummary = summary.strText;
    m_context.pPrompts->execDialog(dialog);
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
    if (window != m_context.pWindow && !qobject_cast<const QDockWidget*>(window)) {
        return false;
    }
    for (; widget; widget = widget->parentWidget()) {
        if (widget == m_context.pWindow) {
            return true;
        }
    }
    return false;
}

QTreeWidgetItem* CDownloadCommands::projectAt(QWidget* widget, const QPoint& pos) const
{
    CProjectTree* tree = m_context.pProjects->Tree();
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
            [this, strUrl, key = project ? m_context.pProjects->ProjectKey(project) : 0] {
                if (QTreeWidgetItem* target = key ? m_context.pProjects->ProjectByKey(key) : nullptr) {
                    AddFromInternet(target, strUrl);
                } else if (key == 0) {
                    NewProject(strUrl);
                }
            },
            Qt::QueuedConnection);
    }
    return true;
}
