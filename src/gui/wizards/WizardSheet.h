#pragma once

#include <QString>
#include <QWizard>

#include "wizards/WizardDefaults.h"

struct CUserPrompts;
class CWizardFinish;
class CWizardPage1;
class CWizardPage2;
class CWizardPage3;

// The new-project wizard: the project's name, what to download, where to save it. It ends accepted
// on Finish; the command that runs it then reads the pages' fields.
class CWizardSheet final : public QWizard
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardSheet)

public:
    CWizardSheet(CUserPrompts& prompts, const CWizardDefaults& defaults, QWidget* parent = nullptr);
    ~CWizardSheet() override;

    static QString Caption();
    // A page refuses to go on: the message, then the keyboard focus into the box that needs a change.
    static void Refuse(CUserPrompts& prompts, QWidget* page, const QString& strText, QWidget* focus);

    CWizardPage1* Page1() const { return m_pPage1; }
    CWizardPage2* Page2() const { return m_pPage2; }
    CWizardPage3* Page3() const { return m_pPage3; }
    CWizardFinish* FinishPage() const { return m_pFinish; }

private:
    CWizardPage1* m_pPage1;
    CWizardPage2* m_pPage2;
    CWizardPage3* m_pPage3;
    CWizardFinish* m_pFinish;
};
