#include "browser/BrowserCookies.h"

#include <QNetworkCookie>
#include <QSignalSpy>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QtTest>

#include "TestHttpServer.h"
#include "common/Text.h"
#include "download/DownloadTask.h"
#include "project/ProjectRecords.h"

class BrowserCookiesTest final : public QObject
{
    Q_OBJECT

private slots:
    // A user logs in in a tab: the cookies the site sets there go with a complete job to that site, and
    // only to it.
    void aJobGetsTheCookiesATabWasGiven()
    {
        TestHttpServer server;
        TestHttpResponse login = TestHttpResponse::Html("<p>welcome</p>");
        login.headers = {{"Set-Cookie", "sid=s1; Path=/; HttpOnly"}, {"Set-Cookie", "lang=zh; Path=/docs"}};
        server.Route("/login", login);

        QWebEngineProfile profile; // off the record: nothing on disk
        CBrowserCookies cookies(profile.cookieStore());
        QWebEnginePage page(&profile);
        QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
        page.load(QUrl(toQ(server.Url("/login"))));
        QVERIFY(loaded.wait(20000));

        CDownloadTask task;
        task.m_strFirstUrl = server.Url("/docs/1.html");
        task.m_strTopUrl = "https://other.test/";
        task.m_bComplete = 1;
        QCOMPARE(CBrowserCookies::HostsOf(task), (std::vector<std::string>{"127.0.0.1", "other.test"}));

        CProjectObject project;
        CProjectInfor saved;
        saved.m_strUrl = server.Url("/docs/0.html");
        saved.m_strLocalFile = "/saved/0.htm";
        project.m_pages.push_back(saved);
        QTRY_COMPARE((PrepareCompleteTask(task, &cookies, project), task.m_cookies.size()), std::size_t{2});
        std::sort(task.m_cookies.begin(), task.m_cookies.end());
        QCOMPARE(task.m_cookies, (std::vector<std::string>{"#HttpOnly_127.0.0.1\tFALSE\t/\tFALSE\t0\tsid\ts1",
                                                           "127.0.0.1\tFALSE\t/docs\tFALSE\t0\tlang\tzh"}));
        QCOMPARE(task.m_projectPages.size(), std::size_t{1});
        QCOMPARE(task.m_projectPages[0].strLocalFile, std::string("/saved/0.htm"));

        // Another site's job gets none of them; a cookie the site drops is no longer handed on.
        QVERIFY(cookies.LinesFor({"other.test"}).empty());
        QNetworkCookie gone("sid", "s1");
        gone.setDomain(QStringLiteral("127.0.0.1"));
        gone.setPath(QStringLiteral("/"));
        cookies.Remove(gone);
        QCOMPARE(cookies.LinesFor({"127.0.0.1"}).size(), std::size_t{1});
    }
};

QTEST_MAIN(BrowserCookiesTest)
#include "BrowserCookiesTest.moc"
