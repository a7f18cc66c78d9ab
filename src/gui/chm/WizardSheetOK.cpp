#include "chm/WizardSheetOK.h"

#include <QFileDialog>
#include <QIcon>

#include "chm/WizardCHM1.h"
#include "chm/WizardCHMOK.h"

namespace
{
QString PickFolder(QWidget* pOwner, const QString& strTitle)
{
    return QFileDialog::getExistingDirectory(pOwner, strTitle, QString(), QFileDialog::ShowDirsOnly);
}
} // namespace

CWizardSheetOK::CWizardSheetOK(CUserPrompts& prompts, QWidget* pParent, CWizardCHM2::FolderFn chooseFolder)
    : QWizard(pParent)
    , m_pPage1(new CWizardCHM1(prompts, this))
    , m_pPage2(new CWizardCHM2(prompts, chooseFolder ? std::move(chooseFolder) : PickFolder, this))
    , m_pPageOK(new CWizardCHMOK(this))
{
    setObjectName(QStringLiteral("chmWizard"));
    setWindowTitle(QStringLiteral("New CHM Wizard"));
    setWizardStyle(QWizard::ModernStyle);
    setOption(QWizard::NoBackButtonOnStartPage, true);
    setOption(QWizard::HaveHelpButton, false);
    setPixmap(QWizard::LogoPixmap, QIcon(QStringLiteral(":/icons/chm-wizard-header.svg")).pixmap(49, 49));
    // The watermark belongs to the page without a header, as in the classic wizards.
    m_pPageOK->setPixmap(QWizard::WatermarkPixmap,
                         QIcon(QStringLiteral(":/icons/chm-wizard-watermark.svg")).pixmap(164, 314));
    setPage(PAGE_NAME, m_pPage1);
    setPage(PAGE_FOLDER, m_pPage2);
    setPage(PAGE_FINISH, m_pPageOK);
    setStartId(PAGE_NAME);
    resize(560, 380);
}

CWizardSheetOK::~CWizardSheetOK() = default;

QString CWizardSheetOK::RefusalCaption()
{
    return QStringLiteral("New Project Wizard");
}
