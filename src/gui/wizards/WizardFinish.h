#pragma once

#include <QWizardPage>

// The wizard's last page: everything is set; Finish starts the download.
class CWizardFinish final : public QWizardPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardFinish)

public:
    explicit CWizardFinish(QWidget* parent = nullptr);
    ~CWizardFinish() override;
};
