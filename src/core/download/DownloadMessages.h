#pragma once

#include <string>

// Events a download job reports, with the values the desktop program's message handling keeps.
constexpr unsigned WM_USER = 0x0400;
constexpr unsigned WM_DOWNLOAD_RESULT = WM_USER + 100;
constexpr unsigned WM_DOWNLOAD_BEGIN = WM_USER + 101;
constexpr unsigned WM_PROJECT_MODIFIED = WM_USER + 102;
constexpr unsigned WM_DOWNLOAD_FINISHED = WM_USER + 103;
// A line for the log about the job as a whole or a page (a warning, what was left out); the text is the line.
constexpr unsigned WM_DOWNLOAD_NOTE = WM_USER + 104;

// Codes carried with WM_DOWNLOAD_RESULT.
constexpr int DR_PAGE_SAVED = 0;
constexpr int DR_RESOURCE_DONE = 1;
constexpr int DR_PAGE_FAILED = 2; // "n\ttotal\tcause", the cause in English
constexpr int DR_RESOURCE_FAILED = 3;

// The receiver of a job's events. Called synchronously on the job's own thread, one call per event,
// in order; the text is valid only during the call. The job waits until the call returns.
class IDownloadNotify
{
public:
    virtual ~IDownloadNotify() = default;
    virtual void OnDownloadMessage(unsigned nMessage, const std::string& strText, int nCode) = 0;
};
