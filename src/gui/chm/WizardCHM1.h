#pragma once

#include <QString>
#include <QWizardPage>

#include "app/UserPrompts.h"

class QLineEdit;

// Page 1 of the CHM wizard: the book's file name.
class CWizardCHM1 final : public QWizardPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardCHM1)

public:
    static constexpr int kNameId = 1001;

    CWizardCHM1(CUserPrompts& prompts, QWidget* pParent = nullptr);
    ~CWizardCHM1() override;

    // The book's file name, trimmed once the page is left with Next.
    QString m_strName;

    // The name the compiled file gets before ".chm": a typed ".chm" is not doubled, and a "/" (which
    // would name a sub-folder) becomes "_".
    static QString BookBaseName(const QString& strName);

    void initializePage() override;
    bool validatePage() override;
    QLineEdit* NameEdit() const { return m_pName; }

private:
    CUserPrompts& m_prompts;
    QLineEdit* m_pName;
};
