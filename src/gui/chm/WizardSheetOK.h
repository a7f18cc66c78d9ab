#pragma once

#include <QString>
#include <QWizard>

#include "common/UserPrompts.h"
class CWizardCHM1;
class CWizardCHM2;
class CWizardCHMOK;

// The CHM wizard "New CHM Wizard": the book's file name, its output folder, and a last page whose
// Finish starts the build.
class CWizardSheetOK final : public QWizard
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardSheetOK)

public:
    enum PageId
    {
        PAGE_NAME,
        PAGE_FOLDER,
        PAGE_FINISH
    };

    explicit CWizardSheetOK(CUserPrompts& prompts, QWidget* pParent = nullptr);
    ~CWizardSheetOK() override;

    CWizardCHM1* Page1() const { return m_pPage1; }
    CWizardCHM2* Page2() const { return m_pPage2; }
    CWizardCHMOK* PageOK() const { return m_pPageOK; }

    // The caption of the wizard pages' refusals.
    static QString RefusalCaption();

private:
    CWizardCHM1* m_pPage1;
    CWizardCHM2* m_pPage2;
    CWizardCHMOK* m_pPageOK;
};
