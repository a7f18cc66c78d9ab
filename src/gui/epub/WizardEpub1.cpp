#include "epub/WizardEpub1.h"

#include "epub/WizardSheetEpub.h"

namespace
{
const QString kExtension = QStringLiteral(".epub");

BookPageTexts texts()
{
    BookPageTexts texts;
    texts.strPageName = QStringLiteral("wizardEpub1");
    texts.strTitle = QStringLiteral("创建EPUB文件");
    texts.strSubTitle = QStringLiteral("电子书的书名,也是文件名。");
    texts.strLabel = QStringLiteral("输入EPUB电子书的书名:");
    texts.strEditName = QStringLiteral("bookNameEdit");
    texts.strRefusalCaption = CWizardSheetEpub::RefusalCaption();
    return texts;
}
} // namespace

CWizardEpub1::CWizardEpub1(CUserPrompts& prompts, QWidget* pParent)
    : CBookNamePage(prompts, texts(), kExtension, pParent)
{}

CWizardEpub1::~CWizardEpub1() = default;

QString CWizardEpub1::BookBaseName(const QString& strName)
{
    return CBookNamePage::BookBaseName(strName, kExtension);
}
