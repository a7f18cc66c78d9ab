#include "chm/WizardCHM1.h"

#include "chm/WizardSheetOK.h"

namespace
{
const QString kExtension = QStringLiteral(".chm");

BookPageTexts texts()
{
    BookPageTexts texts;
    texts.strPageName = QStringLiteral("wizardCHM1");
    texts.strTitle = QStringLiteral("创建CHM文件");
    // The header band shows only with a subtitle; the page has none of its own.
    texts.strSubTitle = QStringLiteral(" ");
    texts.strLabel = QStringLiteral("输入转换的CHM文件名:");
    texts.strEditName = QStringLiteral("edit%1").arg(CWizardCHM1::kNameId);
    texts.strRefusalCaption = CWizardSheetOK::RefusalCaption();
    return texts;
}
} // namespace

CWizardCHM1::CWizardCHM1(CUserPrompts& prompts, QWidget* pParent)
    : CBookNamePage(prompts, texts(), kExtension, pParent)
{}

CWizardCHM1::~CWizardCHM1() = default;

QString CWizardCHM1::BookBaseName(const QString& strName)
{
    return CBookNamePage::BookBaseName(strName, kExtension);
}
