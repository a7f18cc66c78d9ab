#pragma once

#include <QString>
#include <QWizardPage>

struct CUserPrompts;
class QLineEdit;

// The wizard's first page: the new project's name.
class CWizardPage1 final : public QWizardPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardPage1)

public:
    explicit CWizardPage1(CUserPrompts& prompts, QWidget* parent = nullptr);
    ~CWizardPage1() override;

    bool validatePage() override;

    // Taken as typed, blanks included.
    QString m_strName;

private:
    CUserPrompts& m_prompts;
    QLineEdit* m_pName;
};
