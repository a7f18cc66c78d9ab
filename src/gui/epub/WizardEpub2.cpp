#include "epub/WizardEpub2.h"

#include "epub/WizardSheetEpub.h"

namespace
{
BookPageTexts texts()
{
    BookPageTexts texts;
    texts.strPageName = QStringLiteral("wizardEpub2");
    texts.strTitle = QStringLiteral("设置EPUB文件存放位置");
    texts.strSubTitle = QStringLiteral("选择完成按钮,开始生成EPUB电子书。");
    texts.strLabel = QStringLiteral("EPUB 存放位置:");
    texts.strEditName = QStringLiteral("folderEdit");
    texts.strButton = QStringLiteral("浏览");
    texts.strButtonName = QStringLiteral("browseButton");
    texts.strRefusalCaption = CWizardSheetEpub::RefusalCaption();
    return texts;
}
} // namespace

CWizardEpub2::CWizardEpub2(CUserPrompts& prompts, FolderFn chooseFolder, QWidget* pParent)
    : CBookFolderPage(prompts, texts(), std::move(chooseFolder), pParent)
{
    setFinalPage(true);
}

CWizardEpub2::~CWizardEpub2() = default;
