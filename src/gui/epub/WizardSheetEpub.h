#pragma once

#include <QString>
#include <QWizard>

#include "common/UserPrompts.h"
#include "epub/WizardEpub2.h"

class CWizardEpub1;

// The EPUB wizard "生成EPUB文件": the book's name, then its folder, whose Finish starts the build.
class CWizardSheetEpub final : public QWizard
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CWizardSheetEpub)

public:
    enum PageId
    {
        PAGE_NAME,
        PAGE_FOLDER
    };

    // chooseFolder: the folder picker of the Browse button (the real one when empty).
    explicit CWizardSheetEpub(CUserPrompts& prompts,
                              QWidget* pParent = nullptr,
                              CWizardEpub2::FolderFn chooseFolder = {});
    ~CWizardSheetEpub() override;

    CWizardEpub1* Page1() const { return m_pPage1; }
    CWizardEpub2* Page2() const { return m_pPage2; }

    // The caption of the wizard pages' refusals: the wizard's own title.
    static QString RefusalCaption();

private:
    CWizardEpub1* m_pPage1;
    CWizardEpub2* m_pPage2;
};
