#include "chm/WizardCHM1.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "chm/WizardSheetOK.h"

CWizardCHM1::CWizardCHM1(CUserPrompts& prompts, QWidget* pParent)
    : QWizardPage(pParent)
    , m_prompts(prompts)
    , m_pName(new QLineEdit(this))
{
    setObjectName(QStringLiteral("wizardCHM1"));
    setTitle(QStringLiteral("创建CHM文件"));
    // The header band shows only with a subtitle; the page has none of its own.
    setSubTitle(QStringLiteral(" "));
    m_pName->setObjectName(QStringLiteral("edit%1").arg(kNameId));
    auto* pLabel = new QLabel(QStringLiteral("输入转换的CHM文件名:"), this);
    pLabel->setBuddy(m_pName);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addSpacing(12);
    pLayout->addWidget(pLabel);
    pLayout->addWidget(m_pName);
    pLayout->addStretch(1);
}

CWizardCHM1::~CWizardCHM1() = default;

QString CWizardCHM1::BookBaseName(const QString& strName)
{
    QString strBase = strName.trimmed();
    if (strBase.endsWith(QLatin1String(".chm"), Qt::CaseInsensitive)) {
        strBase.chop(4);
    }
    strBase.replace(QLatin1Char('/'), QLatin1Char('_'));
    return strBase.trimmed();
}

void CWizardCHM1::initializePage()
{
    m_pName->setText(m_strName);
    m_pName->setFocus();
}

bool CWizardCHM1::validatePage()
{
    // A name of blanks alone would give a book called ".chm": it counts as empty.
    if (BookBaseName(m_pName->text()).isEmpty()) {
        m_prompts.messageBox(this, QMessageBox::Warning, CWizardSheetOK::RefusalCaption(),
                             QStringLiteral("文件名不能为空."), QMessageBox::Ok);
        m_pName->setFocus();
        return false;
    }
    m_strName = m_pName->text().trimmed();
    return true;
}
