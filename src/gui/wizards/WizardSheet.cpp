#include "wizards/WizardSheet.h"

#include <QIcon>
#include <QPixmap>

#include "common/UserPrompts.h"
#include "wizards/WizardFinish.h"
#include "wizards/WizardPage1.h"
#include "wizards/WizardPage2.h"
#include "wizards/WizardPage3.h"

namespace
{
QPixmap picture(const QString& strPath, const QSize& size)
{
    return QIcon(strPath).pixmap(size);
}
} // namespace

CWizardSheet::CWizardSheet(CUserPrompts& prompts, const CWizardDefaults& defaults, QWidget* parent)
    : QWizard(parent)
    , m_pPage1(new CWizardPage1(prompts))
    , m_pPage2(new CWizardPage2(prompts, defaults))
    , m_pPage3(new CWizardPage3(prompts, defaults))
    , m_pFinish(new CWizardFinish)
{
    setObjectName(QStringLiteral("wizardSheet"));
    setWindowTitle(Caption());
    setWizardStyle(QWizard::ModernStyle);
    // Each page is set up once per run and keeps what the user typed while they go back and forth.
    setOptions(QWizard::IndependentPages);
    // The buttons read the same whatever translations the system has.
    setButtonText(QWizard::BackButton, QStringLiteral("< 上一步(&B)"));
    setButtonText(QWizard::NextButton, QStringLiteral("下一步(&N) >"));
    setButtonText(QWizard::FinishButton, QStringLiteral("完成"));
    setButtonText(QWizard::CancelButton, QStringLiteral("取消"));

    // The three inner pages show the header picture with their title; the last page the watermark.
    const QPixmap banner = picture(QStringLiteral(":/icons/wizard-header.svg"), QSize(720, 58));
    const QPixmap watermark = picture(QStringLiteral(":/icons/wizard-watermark.svg"), QSize(164, 400));
    for (QWizardPage* page : {static_cast<QWizardPage*>(m_pPage1), static_cast<QWizardPage*>(m_pPage2),
                              static_cast<QWizardPage*>(m_pPage3)}) {
        page->setPixmap(QWizard::BannerPixmap, banner);
        addPage(page);
    }
    m_pFinish->setPixmap(QWizard::WatermarkPixmap, watermark);
    addPage(m_pFinish);
    setMinimumSize(720, 460);
}

CWizardSheet::~CWizardSheet() = default;

QString CWizardSheet::Caption()
{
    return QStringLiteral("New Project Wizard");
}

void CWizardSheet::Refuse(CUserPrompts& prompts, QWidget* page, const QString& strText, QWidget* focus)
{
    prompts.messageBox(page, QMessageBox::Warning, Caption(), strText, QMessageBox::Ok);
    focus->setFocus(Qt::OtherFocusReason);
}
