#pragma once

#include <QString>
#include <QWizardPage>

#include "app/UserPrompts.h"

class QLineEdit;
class QPushButton;

// Page 2 of the CHM wizard: the folder the book is written to.
class CWizardCHM2 final : public QWizardPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardCHM2)

public:
    static constexpr int kFolderId = 1006;
    static constexpr int kBrowseId = 1008;

    explicit CWizardCHM2(CUserPrompts& prompts, QWidget* pParent = nullptr);
    ~CWizardCHM2() override;

    // The output folder, trimmed once the page is left with Next.
    QString m_strSaveFolder;

    void initializePage() override;
    bool validatePage() override;
    QLineEdit* FolderEdit() const { return m_pFolder; }
    QPushButton* BrowseButton() const { return m_pBrowse; }

private:
    void onBrowse();

    CUserPrompts& m_prompts;
    QLineEdit* m_pFolder;
    QPushButton* m_pBrowse;
};
