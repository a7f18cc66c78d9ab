#pragma once

#include <QString>
#include <QWizardPage>

#include "wizards/WizardDefaults.h"

struct CUserPrompts;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The wizard's third page: the folder the project's folder is made in, and whether pages keep their
// scripts.
class CWizardPage3 final : public QWizardPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardPage3)

public:
    CWizardPage3(CUserPrompts& prompts, const CWizardDefaults& defaults, QWidget* parent = nullptr);
    ~CWizardPage3() override;

    void initializePage() override;
    bool validatePage() override;

    // The save folder a job gets for what the box holds: one trailing separator less (a lone "/" stays),
    // and a relative path made absolute.
    static QString SaveFolderOf(const QString& strText);

    QString m_strSaveFolder;
    int m_bKeepScripts = 1;
    // Pages saved complete: style sheets, fonts, responsive images and links between the project's pages.
    int m_bComplete = 0;
    // Pages loaded in an off-screen browser and saved as they are shown once their scripts have run.
    int m_bRender = 0;

private:
    void onBrowse();

    CUserPrompts& m_prompts;
    CWizardDefaults m_defaults;
    QLineEdit* m_pFolder;
    QPushButton* m_pBrowse;
    QCheckBox* m_pKeepScripts;
    QCheckBox* m_pComplete;
    QCheckBox* m_pRender;
};
