#include "chm/WizardCHM2.h"

#include "chm/WizardSheetOK.h"
#include "wizards/BrowseForFolder.h"

namespace
{
BookPageTexts texts()
{
    BookPageTexts texts;
    texts.strPageName = QStringLiteral("wizardCHM2");
    texts.strTitle = QStringLiteral("设置CHM文件存放位置");
    texts.strSubTitle = QStringLiteral(" ");
    texts.strLabel = QStringLiteral("CHM 存放位置:");
    texts.strEditName = QStringLiteral("edit%1").arg(CWizardCHM2::kFolderId);
    texts.strButton = QStringLiteral("Browse");
    texts.strButtonName = QStringLiteral("button%1").arg(CWizardCHM2::kBrowseId);
    texts.strRefusalCaption = CWizardSheetOK::RefusalCaption();
    return texts;
}
} // namespace

CWizardCHM2::CWizardCHM2(CUserPrompts& prompts, QWidget* pParent)
    : CBookFolderPage(
          prompts,
          texts(),
          [&prompts](QWidget* pOwner, const QString& strTitle) {
              return BrowseForFolder(prompts, pOwner, strTitle, kBrowseOnlyFileSystemFolders);
          },
          pParent)
{}

CWizardCHM2::~CWizardCHM2() = default;
