#include "project/TrawlixDoc.h"

#include <QFileInfo>

#include "common/FileProblem.h"
#include "common/Text.h"
#include "common/UserPrompts.h"
#include "project/ProjectFileAppend.h"
#include "project/ProjectStore.h"

namespace
{
// Why a project file could not be read or written, for the user.
QString fileStatusText(ProjectFileStatus::Code code, bool bWriting, std::uint64_t nOffset)
{
    switch (code) {
    case ProjectFileStatus::Code::CannotOpen:
        return bWriting ? QStringLiteral("无法创建这个文件。") : QStringLiteral("文件不存在或无法读取。");
    case ProjectFileStatus::Code::CannotWrite:
        return QStringLiteral("写入文件时出错，原来的文件没有改变。");
    case ProjectFileStatus::Code::WrongSignature:
        return QStringLiteral("这不是工程文件。");
    case ProjectFileStatus::Code::Damaged:
        return QStringLiteral("文件已损坏，在第 %1 字节处中断。").arg(nOffset);
    case ProjectFileStatus::Code::Locked:
        return QStringLiteral("另一个程序正在写这个文件，请稍后再试。原来的文件没有改变。");
    case ProjectFileStatus::Code::Ok:
        break;
    }
    return {};
}
} // namespace

CTrawlixDoc::CTrawlixDoc(CUserPrompts& prompts, QWidget* pDialogParent, QObject* parent)
    : QObject(parent)
    , m_prompts(prompts)
    , m_pDialogParent(pDialogParent)
{}

CTrawlixDoc::~CTrawlixDoc() = default;

QString CTrawlixDoc::ClosePromptText()
{
    return QStringLiteral("工程已经改变，要存盘吗?");
}

QString CTrawlixDoc::ModifiedMarker()
{
    return QStringLiteral(" *");
}

QString CTrawlixDoc::FileFilter()
{
    return QStringLiteral("project Files (*.wbr)");
}

QString CTrawlixDoc::CleanPath(const QString& strGivenPath)
{
    QString strPath = strGivenPath.trimmed();
    while (strPath.startsWith(QLatin1Char('"'))) {
        strPath.remove(0, 1);
    }
    while (strPath.endsWith(QLatin1Char('"'))) {
        strPath.chop(1);
    }
    return strPath;
}

QString CTrawlixDoc::Folder() const
{
    return m_strProjectPath.isEmpty() ? QString() : QFileInfo(m_strProjectPath).absolutePath();
}

void CTrawlixDoc::MarkModified()
{
    m_bModified = true;
    emit modifiedChanged(true);
}

void CTrawlixDoc::MarkSaved()
{
    m_bModified = false;
    emit modifiedChanged(false);
}

void CTrawlixDoc::SetPath(const QString& strPath)
{
    if (m_strProjectPath != strPath) {
        m_strProjectPath = strPath;
        emit pathChanged(strPath);
    }
}

void CTrawlixDoc::reportFileError(
    const QString& strWhat, const QString& strPath, int nCode, std::uint64_t nOffset, const QString& strDetail)
{
    const bool bWriting = strWhat != QStringLiteral("打开");
    QString strText =
        QStringLiteral("无法%1工程文件 \"%2\"。\n%3")
            .arg(strWhat, strPath, fileStatusText(static_cast<ProjectFileStatus::Code>(nCode), bWriting, nOffset));
    if (!strDetail.isEmpty()) {
        strText += QLatin1Char('\n') + strDetail;
    }
    m_prompts.messageBox(m_pDialogParent, QMessageBox::Warning, QStringLiteral("警告"), strText, QMessageBox::Ok);
}

bool CTrawlixDoc::Open(const QString& strPath)
{
    CProjectStore store;
    store.SetPath(fromQ(strPath));
    store.Transfer(false);
    const ProjectFileStatus status = store.LastStatus();
    if (status.m_code == ProjectFileStatus::Code::CannotOpen ||
        status.m_code == ProjectFileStatus::Code::WrongSignature) {
        reportFileError(QStringLiteral("打开"), strPath, static_cast<int>(status.m_code), status.m_nOffset,
                        FileProblemText(strPath, false));
        return false;
    }
    // Unsaved changes are offered for saving before the tree is replaced.
    if (!CanClose()) {
        return false;
    }
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);
    emit projectsOpened(projects);
    SetPath(strPath);
    MarkSaved();
    emit fileUsed(strPath);
    if (status.m_code == ProjectFileStatus::Code::Damaged) {
        m_prompts.messageBox(
            m_pDialogParent, QMessageBox::Warning, QStringLiteral("警告"),
            QStringLiteral("工程文件 \"%1\" 已损坏，只读出了前面完整的 %2 个工程。").arg(strPath).arg(projects.size()),
            QMessageBox::Ok);
    }
    return true;
}

QString CTrawlixDoc::ChooseFileToOpen()
{
    m_prompts.SetStartFolder(Folder());
    return m_prompts.openFileName(m_pDialogParent, QStringLiteral("打开工程"),
                                  FileFilter() + QStringLiteral(";;CHM Files (*.chm)"), QStringLiteral("wbr"));
}

bool CTrawlixDoc::write(const QString& strPath, const QString& strHeaderName)
{
    CProjectStore store;
    store.SetPath(fromQ(strPath));
    store.SetHeaderName(fromQ(strHeaderName));
    store.SetProjects(m_source.projects ? m_source.projects() : std::vector<CProjectObject>());
    if (!store.LastTransferOk()) {
        reportFileError(QStringLiteral("保存"), strPath, static_cast<int>(store.LastStatus().m_code),
                        store.LastStatus().m_nOffset, FileProblemText(strPath, true));
        return false;
    }
    return true;
}

bool CTrawlixDoc::Save()
{
    if (m_strProjectPath.isEmpty()) {
        return SaveAs();
    }
    const QString strPath = m_strProjectPath;
    if (!write(strPath, toQ(ProjectFileTitle(fromQ(strPath))))) {
        return false;
    }
    MarkSaved();
    emit fileUsed(strPath);
    return true;
}

bool CTrawlixDoc::SaveAs()
{
    m_prompts.SetStartFolder(Folder());
    const QString strPath =
        m_prompts.saveFileName(m_pDialogParent, QStringLiteral("工程另存为"), FileFilter(), QStringLiteral("wbr"));
    if (strPath.isEmpty()) {
        return false;
    }
    if (!write(strPath, m_source.rootText ? m_source.rootText() : QString())) {
        return false;
    }
    SetPath(strPath);
    MarkSaved();
    emit fileUsed(strPath);
    return true;
}

bool CTrawlixDoc::CanClose()
{
    if (!m_bModified) {
        return true;
    }
    const QMessageBox::StandardButton answer =
        m_prompts.messageBox(nullptr, QMessageBox::Warning, QStringLiteral("警告"), ClosePromptText(),
                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    switch (answer) {
    case QMessageBox::Yes:
        // A save that fails or is cancelled keeps everything open: the user has been told, and asking
        // again in other words would only invite losing the work.
        return Save();
    case QMessageBox::No:
        MarkSaved();
        return true;
    default:
        return false;
    }
}
