#pragma once

#include "wizards/BookWizardPages.h"

// Page 1 of the CHM wizard: the book's file name.
class CWizardCHM1 final : public CBookNamePage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardCHM1)

public:
    static constexpr int kNameId = 1001;

    explicit CWizardCHM1(CUserPrompts& prompts, QWidget* pParent = nullptr);
    ~CWizardCHM1() override;

    // The name the compiled file gets before ".chm": a typed ".chm" is not doubled, and a "/" (which
    // would name a sub-folder) becomes "_".
    static QString BookBaseName(const QString& strName);
};
