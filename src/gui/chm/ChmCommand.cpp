#include "chm/ChmCommand.h"

#include <vector>

#include <QTreeWidgetItem>

#include "chm/ChmBuildDlg.h"
#include "chm/ChmWriter.h"
#include "chm/WizardCHM1.h"
#include "chm/WizardCHM2.h"
#include "chm/WizardSheetOK.h"
#include "common/Text.h"
#include "project/ProjectBar.h"
#include "project/ProjectRecords.h"

CChmCommand::CChmCommand(QWidget* pFrame,
                         CProjectBar* pProjectBar,
                         CUserPrompts& prompts,
                         std::function<void(const QString&)> showBook)
    : m_pFrame(pFrame)
    , m_pProjectBar(pProjectBar)
    , m_prompts(prompts)
    , m_showBook(std::move(showBook))
{}

bool CChmCommand::GetProjectInfo(QStringList& titles, QStringList& pageFiles) const
{
    QTreeWidgetItem* pProject = m_pProjectBar->GetSelectedProject();
    if (!pProject) {
        return false;
    }
    CProjectObject object;
    m_pProjectBar->CollectPages(pProject, object);
    if (object.m_pages.empty()) {
        return false;
    }
    for (const CProjectInfor& page : object.m_pages) {
        titles.append(toQ(page.m_strTitle));
        pageFiles.append(toQ(page.m_strLocalFile));
    }
    return true;
}

void CChmCommand::Run()
{
    QTreeWidgetItem* pProject = m_pProjectBar->GetSelectedProject();
    if (!pProject) {
        return;
    }
    const QString strBookName = m_pProjectBar->GetItemText(pProject);

    CWizardSheetOK sheet(m_prompts, m_pFrame);
    sheet.Page1()->m_strName = strBookName;
    if (m_prompts.execDialog(sheet) != QDialog::Accepted) {
        return;
    }
    const std::string strChmFile =
        ChmFilePath(fromQ(sheet.Page2()->m_strSaveFolder), fromQ(CWizardCHM1::BookBaseName(sheet.Page1()->m_strName)));

    QStringList titles;
    QStringList pageFiles;
    if (!GetProjectInfo(titles, pageFiles)) {
        m_prompts.messageBox(m_pFrame, QMessageBox::NoIcon, QStringLiteral("Trawlix"),
                             QStringLiteral("GetProjectInfo() faild !"), QMessageBox::Ok);
        return;
    }
    // A folder of this build's own, never the program's folder: builds cannot disturb each other.
    const std::string strWorkFolder = MakeChmWorkFolder();
    if (strWorkFolder.empty()) {
        m_prompts.messageBox(m_pFrame, QMessageBox::Warning, QStringLiteral("生成CHM文件"),
                             QStringLiteral("无法创建生成CHM文件所用的临时目录。"), QMessageBox::Ok);
        return;
    }
    std::vector<std::string> files;
    std::vector<std::string> names;
    for (qsizetype i = 0; i < pageFiles.size(); ++i) {
        files.push_back(fromQ(pageFiles.at(i)));
        names.push_back(fromQ(titles.at(i)));
    }
    {
        CChmBuildDlg dialog(m_prompts, m_showBook, m_pFrame);
        dialog.m_params.m_strChmFile = strChmFile;
        dialog.m_params.m_strBookName = fromQ(strBookName);
        dialog.m_params.SetPages(files, strWorkFolder);
        dialog.m_params.SetTitles(names);
        m_prompts.execDialog(dialog);
    }
    // The dialog has joined its thread: the compiler is done with the folder.
    DeleteTree(strWorkFolder);
}
