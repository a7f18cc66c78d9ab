#include "chm/WizardSheetOK.h"

#include <QIcon>
#include <QPixmap>

#include "chm/WizardCHM1.h"
#include "chm/WizardCHM2.h"
#include "chm/WizardCHMOK.h"

CWizardSheetOK::CWizardSheetOK(CUserPrompts& prompts, QWidget* pParent)
    : QWizard(pParent)
    , m_pPage1(new CWizardCHM1(prompts, this))
    , m_pPage2(new CWizardCHM2(prompts, this))
    , m_pPageOK(new CWizardCHMOK(this))
{
    setObjectName(QStringLiteral("chmWizard"));
    setWindowTitle(QStringLiteral("New CHM Wizard"));
    setWizardStyle(QWizard::ModernStyle);
    // Each page is set up once per run and keeps what the user chose while they go back and forth.
    setOptions(QWizard::IndependentPages | QWizard::NoBackButtonOnStartPage);
    // The same pictures as the new-project wizard: the header on the two asking pages, the watermark on
    // the last.
    const QPixmap banner = QIcon(QStringLiteral(":/icons/wizard-header.svg")).pixmap(QSize(497, 58));
    m_pPage1->setPixmap(QWizard::BannerPixmap, banner);
    m_pPage2->setPixmap(QWizard::BannerPixmap, banner);
    m_pPageOK->setPixmap(QWizard::WatermarkPixmap,
                         QIcon(QStringLiteral(":/icons/wizard-watermark.svg")).pixmap(QSize(164, 314)));
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
