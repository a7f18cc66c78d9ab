#pragma once

#include <QWizardPage>

// The last page of the CHM wizard: Finish starts the build.
class CWizardCHMOK final : public QWizardPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardCHMOK)

public:
    explicit CWizardCHMOK(QWidget* pParent = nullptr);
    ~CWizardCHMOK() override;
};
