#pragma once

#include <functional>

#include <QString>
#include <QWizardPage>

#include "app/UserPrompts.h"

class QLineEdit;
class QPushButton;

// Page 2 of the EPUB wizard: the folder the book goes into, the documents folder at first.
class CWizardEpub2 final : public QWizardPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardEpub2)

public:
    // A folder picker: owner and title; an empty result means cancelled.
    using FolderFn = std::function<QString(QWidget* pOwner, const QString& strTitle)>;

    CWizardEpub2(CUserPrompts& prompts, FolderFn chooseFolder, QWidget* pParent = nullptr);
    ~CWizardEpub2() override;

    // The output folder, trimmed once the page is left with Finish.
    QString m_strSaveFolder;

    void initializePage() override;
    bool validatePage() override;
    QLineEdit* FolderEdit() const { return m_pFolder; }

private:
    void onBrowse();

    CUserPrompts& m_prompts;
    FolderFn m_chooseFolder;
    QLineEdit* m_pFolder;
    QPushButton* m_pBrowse;
};
