#pragma once

#include "wizards/BookWizardPages.h"

// Page 2 of the EPUB wizard: the folder the book goes into, the documents folder at first.
class CWizardEpub2 final : public CBookFolderPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardEpub2)

public:
    CWizardEpub2(CUserPrompts& prompts, FolderFn chooseFolder, QWidget* pParent = nullptr);
    ~CWizardEpub2() override;
};
