#include "project/ProjectCommands.h"

#include <algorithm>

#include <QFile>
#include <QTreeWidgetItem>

#include "chm/ChmReader.h"
#include "common/Text.h"
#include "common/UserPrompts.h"
#include "download/PageScanner.h"
#include "download/PageTitle.h"
#include "jobs/DownloadJobs.h"
#include "project/ProjectBar.h"
#include "project/ProjectFileAppend.h"
#include "project/ProjectTree.h"
#include "project/TrawlixDoc.h"
#include "wizards/RenameDlg.h"

namespace
{
// The title of a local page; "Untitled" when it has none.
QString localPageTitle(const std::string& strBytes)
{
    CPageScanner scanner;
    scanner.Reset();
    scanner.Parse(strBytes.data(), strBytes.size());
    return toQ(PageTitleText(scanner.Title(), strBytes));
}
} // namespace

CProjectCommands::CProjectCommands(CCommandContext context,
                                   CTrawlixDoc& doc,
                                   std::function<bool(const QString&)> openBook,
                                   QObject* parent)
    : QObject(parent)
    , m_context(std::move(context))
    , m_doc(doc)
    , m_openBook(std::move(openBook))
{
    connect(&m_doc, &CTrawlixDoc::projectsOpened, this, &CProjectCommands::replaceProjects);
}

CProjectCommands::~CProjectCommands() = default;

QTreeWidgetItem* CProjectCommands::AddProject(const CCommandContext& context, const QString& strName)
{
    QTreeWidgetItem* project = context.pProjects->AddProject(strName);
    context.pJobs->AddTask(context.pProjects->ProjectKey(project), strName);
    return project;
}

bool CProjectCommands::OpenFile(const QString& strGivenPath)
{
    const QString strPath = CTrawlixDoc::CleanPath(strGivenPath);
    if (strPath.isEmpty()) {
        return false;
    }
    if (CChmReader::IsBookFile(strPath)) {
        return m_openBook(strPath);
    }
    return m_doc.Open(strPath);
}

void CProjectCommands::Open()
{
    const QString strPath = m_doc.ChooseFileToOpen();
    if (!strPath.isEmpty()) {
        OpenFile(strPath);
    }
}

void CProjectCommands::replaceProjects(const std::vector<CProjectObject>& projects)
{
    CProjectBar* bar = m_context.pProjects;
    std::vector<std::uintptr_t> oldKeys;
    for (const QTreeWidgetItem* project : bar->Projects()) {
        oldKeys.push_back(bar->ProjectKey(project));
    }
    m_context.pJobs->RemoveProjects(oldKeys);
    bar->DeleteAll();
    bar->EnsureRoot();

    for (const CProjectObject& object : projects) {
        QTreeWidgetItem* project = AddProject(m_context, toQ(object.m_strName));
        std::vector<std::string> localFiles;
        for (const CProjectInfor& page : object.m_pages) {
            bar->AddPage(project, toQ(page.m_strTitle), toQ(page.m_strLocalFile), toQ(page.m_strUrl),
                         page.m_bBookmark != 0);
            localFiles.push_back(page.m_strLocalFile);
        }
        CDownloadTask& task = *m_context.pJobs->TaskFor(bar->ProjectKey(project));
        task.m_strSaveFolder = SaveFolderForPages(localFiles);
        // The add-page command counts up before each job: the next one numbers its pages after those saved.
        task.m_nAddCount = std::max(0, NextAddCount(localFiles) - 1);
    }
    bar->show();
    bar->Tree()->expandItem(bar->Tree()->Root());
}

void CProjectCommands::AddLocalPages()
{
    CProjectBar* bar = m_context.pProjects;
    CUserPrompts& prompts = *m_context.pPrompts;
    QTreeWidgetItem* project = bar->GetSelectedProject();
    if (!project || !m_context.pJobs->TaskFor(bar->ProjectKey(project))) {
        return;
    }
    const QStringList files =
        prompts.openFileNames(m_context.pWindow, QStringLiteral("添加网页到工程"),
                              QStringLiteral("Html Files (*.htm *.html *.shtml)"), QStringLiteral("htm"));
    QStringList unreadable;
    int nAdded = 0;
    for (const QString& strFile : files) {
        QFile file(strFile);
        if (!file.open(QIODevice::ReadOnly)) {
            unreadable.append(strFile);
            continue;
        }
        // The title is looked for in the first 300,000 bytes.
        const QByteArray head = file.read(300000);
        const QString strTitle = localPageTitle(std::string(head.constData(), static_cast<size_t>(head.size())));
        bar->AddPage(project, strTitle, strFile, strFile, false);
        ++nAdded;
    }
    if (nAdded > 0) {
        m_context.markModified();
    }
    if (!unreadable.isEmpty()) {
        prompts.messageBox(m_context.pWindow, QMessageBox::Warning, QStringLiteral("添加网页到工程"),
                           QStringLiteral("以下文件无法读取，没有添加:\n") + unreadable.join(QLatin1Char('\n')),
                           QMessageBox::Ok);
    }
}

void CProjectCommands::DeleteNode()
{
    CProjectBar* bar = m_context.pProjects;
    bool bProject = false;
    QTreeWidgetItem* item = bar->GetSelection(&bProject);
    if (!item || bar->Tree()->IsRoot(item)) {
        return;
    }
    QString strText = (bProject ? QStringLiteral("确定要删除工程 '%1'?") : QStringLiteral("确定要删除网页 '%1'?"))
                          .arg(bar->GetItemText(item));
    if (bProject && m_context.pJobs->IsDownloading(bar->ProjectKey(item))) {
        strText = QStringLiteral("工程 '%1' 正在下载。确定要停止下载并删除这个工程?").arg(bar->GetItemText(item));
    }
    if (m_context.pPrompts->messageBox(m_context.pWindow, QMessageBox::Question, QStringLiteral("删除"), strText,
                                       QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    m_context.pJobs->RemoveProjects(bar->DeleteNode(item));
    m_context.markModified();
}

void CProjectCommands::RenameNode()
{
    QTreeWidgetItem* item = m_context.pProjects->GetSelection();
    if (!item) {
        return;
    }
    CRenameDlg dialog(m_context.pWindow);
    if (m_context.pPrompts->execDialog(dialog) != QDialog::Accepted) {
        return;
    }
    if (dialog.m_strName.isEmpty()) {
        m_context.pPrompts->messageBox(m_context.pWindow, QMessageBox::NoIcon, QStringLiteral("Trawlix"),
                                       QStringLiteral("名字不能为空"), QMessageBox::Ok);
        return;
    }
    // Only the node changes: the project's later downloads keep going to the folder of its first name.
    m_context.pProjects->SetItemText(item, dialog.m_strName);
    m_context.markModified();
}

void CProjectCommands::BrowsePage(bool bNext)
{
    bool bProject = false;
    QTreeWidgetItem* item = m_context.pProjects->GetSelection(&bProject);
    if (!item || bProject) {
        return;
    }
    if (bNext) {
        m_context.pProjects->SelectNextPage(item);
    } else {
        m_context.pProjects->SelectPrevPage(item);
    }
}

void CProjectCommands::SetBookmark(bool bSet)
{
    if (bSet ? m_context.pProjects->SetBookmark() : m_context.pProjects->ClearBookmark()) {
        m_context.markModified();
    }
}
