#include "epub/WizardSheetEpub.h"

#include <QIcon>

#include "epub/WizardEpub1.h"
#include "wizards/BrowseForFolder.h"

namespace
{
CWizardEpub2::FolderFn folderPicker(CUserPrompts& prompts)
{
    return [&prompts](QWidget* pOwner, const QString& strTitle) {
        return BrowseForFolder(prompts, pOwner, strTitle, kBrowseOnlyFileSystemFolders);
    };
}
} // namespace

CWizardSheetEpub::CWizardSheetEpub(CUserPrompts& prompts, QWidget* pParent, CWizardEpub2::FolderFn chooseFolder)
    : QWizard(pParent)
    , m_pPage1(new CWizardEpub1(prompts, this))
    , m_pPage2(new CWizardEpub2(prompts, chooseFolder ? std::move(chooseFolder) : folderPicker(prompts), this))
{
    setObjectName(QStringLiteral("epubWizard"));
    setWindowTitle(QStringLiteral("生成EPUB文件"));
    setWizardStyle(QWizard::ModernStyle);
    setOption(QWizard::NoBackButtonOnStartPage, true);
    setOption(QWizard::HaveHelpButton, false);
    setPixmap(QWizard::LogoPixmap, QIcon(QStringLiteral(":/icons/cmd-32851.svg")).pixmap(48, 48));
    setPage(PAGE_NAME, m_pPage1);
    setPage(PAGE_FOLDER, m_pPage2);
    setStartId(PAGE_NAME);
    resize(560, 340);
}

CWizardSheetEpub::~CWizardSheetEpub() = default;

QString CWizardSheetEpub::RefusalCaption()
{
    return QStringLiteral("生成EPUB文件");
}
