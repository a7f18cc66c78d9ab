#include "project/UpdateCommands.h"

#include <QMetaObject>
#include <QTreeWidgetItem>

#include "common/Text.h"
#include "common/UserPrompts.h"
#include "download/DownloadLog.h"
#include "jobs/DownloadJobs.h"
#include "jobs/DownloadReceiver.h"
#include "project/ProjectBar.h"
#include "project/TrawlixDoc.h"
#include "wizards/DownloadReportDlg.h"

CUpdateCommands::CUpdateCommands(CCommandContext context, CTrawlixDoc& doc, QObject* parent)
    : QObject(parent)
    , m_context(std::move(context))
    , m_doc(doc)
{
    setObjectName(QStringLiteral("updateCommands"));
}

CUpdateCommands::~CUpdateCommands()
{
    m_bCancel = true;
    end();
}

bool CUpdateCommands::CanUpdate() const
{
    return !IsUpdating() && m_context.pProjects->GetSelectedProject() != nullptr;
}

void CUpdateCommands::end()
{
    if (m_pReceiver) {
        m_pReceiver->Release();
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_pReceiver.reset();
}

void CUpdateCommands::UpdateProject()
{
    QTreeWidgetItem* project = m_context.pProjects->GetSelectedProject();
    if (!project || IsUpdating()) {
        return;
    }
    const std::uintptr_t key = m_context.pProjects->ProjectKey(project);
    if (m_context.pJobs->IsDownloading(key)) {
        // The job and the update would write the same pages.
        m_context.pPrompts->messageBox(m_context.pWindow, QMessageBox::Information, QStringLiteral("更新工程"),
                                       QStringLiteral("这个工程正在下载, 请等下载结束后再更新."), QMessageBox::Ok);
        return;
    }
    CProjectObject object;
    m_context.pProjects->CollectPages(project, object);
    UpdateOptions options;
    options.strProject = fromQ(m_context.pProjects->GetItemText(project));
    options.strProjectFile = fromQ(m_doc.Path());
    options.bPagesGiven = true;
    options.pages = object.m_pages;
    if (const CDownloadTask* pTask = m_context.pJobs->TaskFor(key)) {
        options.strSaveFolder = pTask->m_strSaveFolder;
    }
    if (m_context.showLog) {
        m_context.showLog();
    }
    emit logLine(QStringLiteral("-----------更新工程 %1-----------").arg(toQ(options.strProject)));

    // Log lines come over one by one on the interface thread, as a download job's do.
    m_pReceiver = std::make_unique<CDownloadReceiver>([this](unsigned nMessage, const std::string& strText, int nCode) {
        if (nMessage == WM_DOWNLOAD_FINISHED || nMessage == WM_DOWNLOAD_BEGIN ||
            (nMessage == WM_DOWNLOAD_RESULT && (nCode == DR_RESOURCE_DONE || nCode == DR_RESOURCE_FAILED))) {
            return;
        }
        const std::string strLine = DownloadLogLine(nMessage, strText, nCode);
        if (!strLine.empty()) {
            emit logLine(toQ(strLine));
        }
    });
    m_bCancel = false;
    CDownloadReceiver* pReceiver = m_pReceiver.get();
    m_thread = std::thread([this, options, pReceiver, key] {
        UpdateResult result = ::UpdateProject(options, pReceiver, &m_bCancel);
        QMetaObject::invokeMethod(
            this, [this, key, result = std::move(result)] { finished(key, result); }, Qt::QueuedConnection);
    });
}

void CUpdateCommands::finished(std::uintptr_t key, const UpdateResult& result)
{
    end();
    const UpdateReport& report = result.report;
    // The project may have been deleted meanwhile: then its pages have nowhere to go.
    if (QTreeWidgetItem* project = m_context.pProjects->ProjectByKey(key)) {
        for (const CProjectInfor& page : report.addedPages) {
            m_context.pProjects->AddPage(project, toQ(page.m_strTitle), toQ(page.m_strLocalFile), toQ(page.m_strUrl),
                                         false);
        }
        if (!report.addedPages.empty() || report.nUpdated > 0) {
            m_context.markModified();
        }
    }
    if (result.code != UpdateResult::Code::Ok) {
        emit logLine(toQ(result.strMessage));
    }
    for (const std::string& strUrl : report.removedUrls) {
        emit logLine(QStringLiteral("网站已删除, 保留原网页: ") + toQ(strUrl));
    }
    for (const std::string& strUrl : report.failedUrls) {
        emit logLine(QStringLiteral("下载失败: ") + toQ(strUrl));
    }
    QStringList lines;
    for (const std::string& strLine : UpdateReportLines(report)) {
        lines.append(toQ(strLine));
        emit logLine(lines.back());
    }
    emit updateFinished(lines);
    CDownloadReportDlg dialog(m_context.pWindow);
    dialog.setWindowTitle(QStringLiteral("工程更新完成"));
    dialog.m_lines = lines;
    // Tall enough for the report's fourteen lines.
    dialog.resize(420, 380);
    m_context.pPrompts->execDialog(dialog);
}
