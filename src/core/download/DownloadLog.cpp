#include "DownloadLog.h"

#include <cstdlib>

#include "DownloadMessages.h"

std::vector<std::string> SplitFields(const std::string& strText)
{
    std::vector<std::string> fields;
    size_t from = 0;
    for (size_t tab = strText.find('\t'); tab != std::string::npos; tab = strText.find('\t', from)) {
        fields.push_back(strText.substr(from, tab - from));
        from = tab + 1;
    }
    fields.push_back(strText.substr(from));
    return fields;
}

std::string DownloadLogLine(unsigned nMessage, const std::string& strText, int nCode)
{
    if (nMessage == WM_DOWNLOAD_BEGIN) {
        return "DownLoad file from : " + strText;
    }
    if (nMessage == WM_DOWNLOAD_NOTE) {
        return strText;
    }
    if (nMessage != WM_DOWNLOAD_RESULT) {
        return {};
    }
    switch (nCode) {
    case DR_PAGE_SAVED: {
        const std::vector<std::string> fields = SplitFields(strText);
        return fields.size() == 6 ? "........." + fields[1] + " .......... ok " : std::string();
    }
    case DR_RESOURCE_DONE:
        return "     " + strText + "   ok";
    case DR_RESOURCE_FAILED:
        return "     " + strText + "   failed";
    case DR_PAGE_FAILED:
        return "download file faild !";
    default:
        return {};
    }
}

std::string DownloadFailureCause(unsigned nMessage, const std::string& strText, int nCode)
{
    if (nMessage != WM_DOWNLOAD_RESULT || nCode != DR_PAGE_FAILED) {
        return {};
    }
    const std::size_t first = strText.find('\t');
    const std::size_t second = first == std::string::npos ? first : strText.find('\t', first + 1);
    return second == std::string::npos ? std::string() : strText.substr(second + 1);
}

bool DownloadProgressOf(const std::string& strText, int nCode, int& n, int& nTotal)
{
    const std::vector<std::string> fields = SplitFields(strText);
    size_t first = 0;
    if (nCode == DR_PAGE_SAVED && fields.size() == 6) {
        first = 4;
    } else if (nCode == DR_PAGE_FAILED && fields.size() >= 2) {
        first = 0;
    } else {
        return false;
    }
    n = std::atoi(fields[first].c_str());
    nTotal = std::atoi(fields[first + 1].c_str());
    return true;
}

int DownloadPercent(int n, int nTotal)
{
    if (nTotal <= 0) {
        return 0;
    }
    return static_cast<int>(static_cast<double>(n) / nTotal * 100.0);
}

std::vector<std::string> DownloadReportLines(const std::string& strSummary)
{
    std::vector<std::string> fields = SplitFields(strSummary);
    fields.resize(4);
    const char* labels[] = {"工程名:", "下载网页成功:", "下载网页失败:", "网页保存路径:"};
    std::vector<std::string> lines;
    for (size_t i = 0; i < 4; ++i) {
        std::string& value = fields[i];
        const auto first = value.find_first_not_of(" \t\r\n");
        value = first == std::string::npos ? std::string()
                                           : value.substr(first, value.find_last_not_of(" \t\r\n") - first + 1);
        lines.push_back(labels[i]);
        lines.push_back(std::string(9, ' ') + value);
    }
    return lines;
}
