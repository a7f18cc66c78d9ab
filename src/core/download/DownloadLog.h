#pragma once

#include <string>
#include <vector>

// How a job's events read in the download log and its report, for both front ends.

// The text's tab-separated fields.
std::vector<std::string> SplitFields(const std::string& strText);

// The log line for one event, or an empty string for an event that writes none (the summary).
std::string DownloadLogLine(unsigned nMessage, const std::string& strText, int nCode);

// Why a page failed, for the line after "download file faild !": a failed page's text is n, total and
// the cause in English. Empty for other events (and for a failure that names no cause).
std::string DownloadFailureCause(unsigned nMessage, const std::string& strText, int nCode);

// For a saved or failed page: its position n and the job's total page count. False for other events.
bool DownloadProgressOf(const std::string& strText, int nCode, int& n, int& nTotal);

// n of total as a whole percentage, cut toward zero; 0 when the total is not positive.
int DownloadPercent(int n, int nTotal);

// The report of a finished job: four labels, each followed by its value indented by nine spaces.
std::vector<std::string> DownloadReportLines(const std::string& strSummary);
