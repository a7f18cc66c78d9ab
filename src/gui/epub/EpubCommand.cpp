#include "epub/EpubCommand.h"

#include <QTreeWidgetItem>

#include "book/EpubBuilder.h"
#include "common/Text.h"
#include "epub/EpubBuildDlg.h"
#include "epub/WizardEpub1.h"
#include "epub/WizardSheetEpub.h"
#include "project/ProjectBar.h"
#include "project/ProjectRecords.h"

CEpubCommand::CEpubCommand(QWidget* pFrame,
                           CProjectBar* pProjectBar,
                           CUserPrompts& prompts,
                           std::function<void(const QString&)> openBook,
                           CWizardEpub2::FolderFn chooseFolder)
    : m_pFrame(pFrame)
    , m_pProjectBar(pProjectBar)
    , m_prompts(prompts)
    , m_openBook(std::move(openBook))
    , m_chooseFolder(std::move(chooseFolder))
{}

void CEpubCommand::Run()
{
    QTreeWidgetItem* pProject = m_pProjectBar->GetSelectedProject();
    if (!pProject) {
        return;
    }
    const QString strProjectName = m_pProjectBar->GetItemText(pProject);

    CWizardSheetEpub sheet(m_prompts, m_pFrame, m_chooseFolder);
    sheet.Page1()->m_strName = strProjectName;
    if (m_prompts.execDialog(sheet) != QDialog::Accepted) {
        return;
    }
    // The pages as the tree holds them when the wizard ends.
    CProjectObject project;
    m_pProjectBar->CollectPages(pProject, project);
    if (project.m_pages.empty()) {
        m_prompts.messageBox(m_pFrame, QMessageBox::NoIcon, QStringLiteral("Trawlix"),
                             QStringLiteral("GetProjectInfo() faild !"), QMessageBox::Ok);
        return;
    }
    const QString strBook = CWizardEpub1::BookBaseName(sheet.Page1()->m_strName);
    EpubBuildParams params;
    params.m_strEpubFile = EpubFilePath(fromQ(sheet.Page2()->m_strSaveFolder), fromQ(strBook));
    params.m_strBookName = fromQ(strBook);
    params.m_strProjectName = fromQ(strProjectName);
    params.m_pages = std::move(project.m_pages);

    CEpubBuildDlg dialog(std::move(params), m_openBook, m_pFrame);
    m_prompts.execDialog(dialog);
}
