#pragma once

#include "wizards/BookWizardPages.h"

// Page 2 of the CHM wizard: the folder the book is written to.
class CWizardCHM2 final : public CBookFolderPage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardCHM2)

public:
    static constexpr int kFolderId = 1006;
    static constexpr int kBrowseId = 1008;

    explicit CWizardCHM2(CUserPrompts& prompts, QWidget* pParent = nullptr);
    ~CWizardCHM2() override;
};
