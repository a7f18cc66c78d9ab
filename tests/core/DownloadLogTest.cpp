#include "download/DownloadLog.h"

#include <gtest/gtest.h>

#include "download/DownloadMessages.h"

TEST(DownloadLog, ProgressComesFromPageResultsOnly)
{
    struct Case
    {
        std::string strText;
        int nCode;
        bool bHas;
        int nPercent;
    };
    const Case cases[] = {
        {"/p/a.htm\thttp://h/a.htm\t7\tA\t3\t4", DR_PAGE_SAVED, true, 75},
        {"4\t4", DR_PAGE_FAILED, true, 100},
        {"1\t3", DR_PAGE_FAILED, true, 33}, // cut toward zero
        {"1\t0", DR_PAGE_FAILED, true, 0},  // a total of 0 shows nothing
        {"2\t4\tcannot write /p/a\tb.htm: No space left on device", DR_PAGE_FAILED, true, 50},
        {"http://h/a.gif", DR_RESOURCE_DONE, false, 0},
        {"only\tfive\tfields\there\t1", DR_PAGE_SAVED, false, 0},
    };
    for (const auto& c : cases) {
        int n = 0;
        int nTotal = 0;
        EXPECT_EQ(DownloadProgressOf(c.strText, c.nCode, n, nTotal), c.bHas) << c.strText;
        if (c.bHas) {
            EXPECT_EQ(DownloadPercent(n, nTotal), c.nPercent) << c.strText;
        }
    }
}

TEST(DownloadLog, ReportHasFourLabelledValues)
{
    EXPECT_EQ(DownloadReportLines(" 小说 \t2\t0"),
              (std::vector<std::string>{"工程名:", "         小说", "下载网页成功:", "         2",
                                        "下载网页失败:", "         0", "网页保存路径:", "         "}));
}

TEST(DownloadLog, AFailedPageKeepsItsLineAndGivesItsCauseApart)
{
    const std::string strText = "2\t4\tcannot write /p/a\tb.htm: No space left on device";
    EXPECT_EQ(DownloadLogLine(WM_DOWNLOAD_RESULT, strText, DR_PAGE_FAILED), "download file faild !");
    EXPECT_EQ(DownloadFailureCause(WM_DOWNLOAD_RESULT, strText, DR_PAGE_FAILED),
              "cannot write /p/a\tb.htm: No space left on device");
    EXPECT_EQ(DownloadFailureCause(WM_DOWNLOAD_RESULT, "2\t4", DR_PAGE_FAILED), "");
    EXPECT_EQ(DownloadFailureCause(WM_DOWNLOAD_RESULT, "http://h/a.gif", DR_RESOURCE_FAILED), "");
}
