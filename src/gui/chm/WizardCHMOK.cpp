#include "chm/WizardCHMOK.h"

#include <QLabel>
#include <QVBoxLayout>

CWizardCHMOK::CWizardCHMOK(QWidget* pParent)
    : QWizardPage(pParent)
{
    setObjectName(QStringLiteral("wizardCHMOK"));
    auto* pLabel = new QLabel(QStringLiteral("        设置完成\n请选择完成按钮，开始CHM文档生成。"), this);
    pLabel->setObjectName(QStringLiteral("finishText"));
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addSpacing(24);
    pLayout->addWidget(pLabel);
    pLayout->addStretch(1);
}

CWizardCHMOK::~CWizardCHMOK() = default;
