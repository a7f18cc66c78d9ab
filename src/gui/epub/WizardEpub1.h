#pragma once

#include "wizards/BookWizardPages.h"

// Page 1 of the EPUB wizard: the book's name, which is also its file name.
class CWizardEpub1 final : public CBookNamePage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardEpub1)

public:
    explicit CWizardEpub1(CUserPrompts& prompts, QWidget* pParent = nullptr);
    ~CWizardEpub1() override;

    // The name the file gets before ".epub": a typed ".epub" is not doubled, and a "/" (which would name
    // a sub-folder) becomes "_".
    static QString BookBaseName(const QString& strName);
};
