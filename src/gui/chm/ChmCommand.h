#pragma once

#include <functional>

#include <QString>
#include <QStringList>

#include "common/UserPrompts.h"

class CProjectBar;
class QWidget;

// The make-CHM command: the CHM wizard for the selected project, then the build dialog over the
// project's pages in a fresh working folder of its own, which is deleted once the dialog has closed
// (and with it the build's thread).
class CChmCommand final
{
public:
    // showBook opens a built book.
    CChmCommand(QWidget* pFrame,
                CProjectBar* pProjectBar,
                CUserPrompts& prompts,
                std::function<void(const QString&)> showBook);

    void Run();

    // The titles and local files of the selected project's pages, in tree order; false when it has none.
    bool GetProjectInfo(QStringList& titles, QStringList& pageFiles) const;

private:
    QWidget* m_pFrame;
    CProjectBar* m_pProjectBar;
    CUserPrompts& m_prompts;
    std::function<void(const QString&)> m_showBook;
};
