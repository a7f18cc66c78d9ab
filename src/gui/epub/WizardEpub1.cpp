#include "epub/WizardEpub1.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "epub/WizardSheetEpub.h"

CWizardEpub1::CWizardEpub1(CUserPrompts& prompts, QWidget* pParent)
    : QWizardPage(pParent)
    , m_prompts(prompts)
    , m_pName(new QLineEdit(this))
{
    setObjectName(QStringLiteral("wizardEpub1"));
    setTitle(QStringLiteral("创建EPUB文件"));
    // The header band shows only with a subtitle.
    setSubTitle(QStringLiteral("电子书的书名,也是文件名。"));
    m_pName->setObjectName(QStringLiteral("bookNameEdit"));
    auto* pLabel = new QLabel(QStringLiteral("输入EPUB电子书的书名:"), this);
    pLabel->setBuddy(m_pName);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addSpacing(12);
    pLayout->addWidget(pLabel);
    pLayout->addWidget(m_pName);
    pLayout->addStretch(1);
}

CWizardEpub1::~CWizardEpub1() = default;

QString CWizardEpub1::BookBaseName(const QString& strName)
{
    QString strBase = strName.trimmed();
    if (strBase.endsWith(QLatin1String(".epub"), Qt::CaseInsensitive)) {
        strBase.chop(5);
    }
    strBase.replace(QLatin1Char('/'), QLatin1Char('_'));
    return strBase.trimmed();
}

void CWizardEpub1::initializePage()
{
    m_pName->setText(m_strName);
    m_pName->selectAll();
    m_pName->setFocus();
}

bool CWizardEpub1::validatePage()
{
    if (BookBaseName(m_pName->text()).isEmpty()) {
        m_prompts.messageBox(this, QMessageBox::Warning, CWizardSheetEpub::RefusalCaption(),
                             QStringLiteral("文件名不能为空."), QMessageBox::Ok);
        m_pName->setFocus();
        return false;
    }
    m_strName = m_pName->text().trimmed();
    return true;
}
