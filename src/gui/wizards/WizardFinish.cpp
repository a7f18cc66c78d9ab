#include "wizards/WizardFinish.h"

#include <QLabel>
#include <QVBoxLayout>

CWizardFinish::CWizardFinish(QWidget* parent)
    : QWizardPage(parent)
{
    setObjectName(QStringLiteral("wizardFinish"));
    auto* layout = new QVBoxLayout(this);
    layout->addSpacing(24);
    auto* label = new QLabel(QStringLiteral("            设置完成\n请点击完成按钮，将开始下载网页。"), this);
    label->setObjectName(QStringLiteral("finishLabel"));
    layout->addWidget(label);
    layout->addStretch();
}

CWizardFinish::~CWizardFinish() = default;
