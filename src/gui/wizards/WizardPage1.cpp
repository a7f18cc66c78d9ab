#include "wizards/WizardPage1.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "wizards/WizardSheet.h"

CWizardPage1::CWizardPage1(CUserPrompts& prompts, QWidget* parent)
    : QWizardPage(parent)
    , m_prompts(prompts)
    , m_pName(new QLineEdit(this))
{
    setObjectName(QStringLiteral("wizardPage1"));
    setTitle(QStringLiteral("新建工程"));
    // A header needs a subtitle to be shown; the page has none of its own.
    setSubTitle(QStringLiteral(" "));
    m_pName->setObjectName(QStringLiteral("nameEdit"));

    auto* layout = new QVBoxLayout(this);
    auto* welcome = new QLabel(QStringLiteral("欢迎使用新工程向导"), this);
    QFont bold = welcome->font();
    bold.setBold(true);
    welcome->setFont(bold);
    layout->addWidget(welcome);
    auto* intro = new QLabel(
        QStringLiteral("按照向导的提示，您可以非常方便地设置您要下载的网页。\n请为您的任务设置一个新的工程名:"), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    layout->addSpacing(12);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("工程名:"), this));
    row->addWidget(m_pName, 1);
    layout->addLayout(row);
    layout->addStretch();
}

CWizardPage1::~CWizardPage1() = default;

bool CWizardPage1::validatePage()
{
    if (m_pName->text().isEmpty()) {
        CWizardSheet::Refuse(m_prompts, this, QStringLiteral("工程名不能为空."), m_pName);
        return false;
    }
    m_strName = m_pName->text();
    return true;
}
