#pragma once

#include <functional>

#include <QString>

#include "common/UserPrompts.h"
#include "epub/WizardEpub2.h"

class CProjectBar;
class QWidget;

// The make-EPUB command: the EPUB wizard for the selected project, then the build dialog over the
// project's pages.
class CEpubCommand final
{
public:
    // openBook opens a made book (the desktop's reader when empty); chooseFolder is the wizard's folder
    // picker (the real one when empty).
    CEpubCommand(QWidget* pFrame,
                 CProjectBar* pProjectBar,
                 CUserPrompts& prompts,
                 std::function<void(const QString&)> openBook = {},
                 CWizardEpub2::FolderFn chooseFolder = {});

    void Run();

private:
    QWidget* m_pFrame;
    CProjectBar* m_pProjectBar;
    CUserPrompts& m_prompts;
    std::function<void(const QString&)> m_openBook;
    CWizardEpub2::FolderFn m_chooseFolder;
};
