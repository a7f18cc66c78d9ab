#pragma once

#include <functional>

#include <QString>

class CDownloadJobs;
class CProjectBar;
class QWidget;
struct CUserPrompts;

// What the commands on projects and downloads work with, handed to them by the window that wires them:
// the project tree, the download jobs, the prompts, the window that parents their dialogs, and the
// few things they read from the window.
struct CCommandContext
{
    CProjectBar* pProjects = nullptr;
    CDownloadJobs* pJobs = nullptr;
    CUserPrompts* pPrompts = nullptr;
    // Parent of the dialogs; a link dropped anywhere on it starts a download.
    QWidget* pWindow = nullptr;
    // The recorded start and end addresses (empty when none was recorded).
    std::function<void(QString& strStartUrl, QString& strEndUrl)> recordedUrls;
    // The text of the address box.
    std::function<QString()> addressText;
    // The projects changed.
    std::function<void()> markModified;
    // Shows the message window, emptied for the log of a new project's job.
    std::function<void()> showLog;
};
