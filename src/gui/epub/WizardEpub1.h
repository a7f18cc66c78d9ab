#pragma once

#include <QString>
#include <QWizardPage>

#include "app/UserPrompts.h"

class QLineEdit;

// Page 1 of the EPUB wizard: the book's name, which is also its file name.
class CWizardEpub1 final : public QWizardPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardEpub1)

public:
    explicit CWizardEpub1(CUserPrompts& prompts, QWidget* pParent = nullptr);
    ~CWizardEpub1() override;

    // The book's name, trimmed once the page is left with Next.
    QString m_strName;

    // The name the file gets before ".epub": a typed ".epub" is not doubled, and a "/" (which would name
    // a sub-folder) becomes "_".
    static QString BookBaseName(const QString& strName);

    void initializePage() override;
    bool validatePage() override;
    QLineEdit* NameEdit() const { return m_pName; }

private:
    CUserPrompts& m_prompts;
    QLineEdit* m_pName;
};
