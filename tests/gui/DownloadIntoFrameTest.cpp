#include <QTest>
#include <QTreeWidgetItem>

#include "TempFolder.h"
#include "TestHttpServer.h"
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "app/MessageBar.h"
#include "app/MessageEdit.h"
#include "app/Text.h"
#include "download/DownloadWorker.h"
#include "platform/Files.h"
#include "project/ProjectBar.h"
#include "project/ProjectTree.h"
#include "project/TrawlixDoc.h"
#include "wizards/DownloadReportDlg.h"

// Real download jobs against a local server, reporting into a real frame.
class DownloadIntoFrameTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void jobFillsTheProjectTheLogAndTheReport();
    void deletingAProjectCancelsItsJob();
    void exitEndsRunningAndWaitingJobs();

private:
    // A new empty project whose task fetches the pages first..last of the server into the temp folder.
    std::uintptr_t makeProject(const std::string& strFirst, const std::string& strLast);
    QString log() const;

    std::unique_ptr<TempFolder> m_pTemp;
    std::unique_ptr<TestHttpServer> m_pServer;
    std::unique_ptr<CMainFrame> m_pFrame;
    QStringList m_reports;
};

void DownloadIntoFrameTest::init()
{
    g_stopDownloadEvent.ResetEvent();
    m_pTemp = std::make_unique<TempFolder>();
    m_pServer = std::make_unique<TestHttpServer>();
    m_pServer->Route("/p1.htm", TestHttpResponse::Html("<html><head><title>第一页</title></head>"
                                                       "<body><img src=\"a.gif\">one</body></html>"));
    m_pServer->Route("/p2.htm",
                     TestHttpResponse::Html("<html><head><title>Second</title></head><body>2</body></html>"));
    m_pServer->Route("/a.gif", TestHttpResponse::Text("GIF89a-pixels"));
    // Answers its headers, then never sends the body: a job fetching it stands until cancelled.
    TestHttpResponse stalled = TestHttpResponse::Html(std::string(1000, 'x'));
    stalled.nStallAfter = 0;
    m_pServer->Route("/slow1.htm", stalled);

    m_reports.clear();
    m_pFrame = std::make_unique<CMainFrame>();
    CUserPrompts prompts = m_pFrame->Prompts();
    prompts.execDialog = [this](QDialog& dialog) {
        if (auto* report = qobject_cast<CDownloadReportDlg*>(&dialog)) {
            m_reports.append(report->m_strSummary);
        }
        return int(QDialog::Accepted);
    };
    prompts.messageBox = [](QWidget*, QMessageBox::Icon, const QString&, const QString&, QMessageBox::StandardButtons) {
        return QMessageBox::Yes;
    };
    m_pFrame->SetPrompts(prompts);
    m_pFrame->resize(900, 600);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
}

void DownloadIntoFrameTest::cleanup()
{
    if (m_pFrame) {
        m_pFrame->Document()->SetModifiedFlag(false);
    }
    m_pFrame.reset();
    m_pServer.reset();
    m_pTemp.reset();
}

std::uintptr_t DownloadIntoFrameTest::makeProject(const std::string& strFirst, const std::string& strLast)
{
    m_pFrame->OnCommand(cmd::ID_NEW_EMPTY_PROJECT);
    const QList<QTreeWidgetItem*> projects = m_pFrame->ProjectBar()->Projects();
    const std::uintptr_t key = m_pFrame->ProjectBar()->ProjectKey(projects.last());
    CDownloadTask* task = m_pFrame->TaskFor(key);
    task->m_strSaveFolder = m_pTemp->path();
    task->m_strFirstUrl = m_pServer->Url(strFirst);
    task->m_strLastUrl = strLast.empty() ? std::string() : m_pServer->Url(strLast);
    return key;
}

QString DownloadIntoFrameTest::log() const
{
    return m_pFrame->MessageBar()->Edit()->toPlainText();
}

void DownloadIntoFrameTest::jobFillsTheProjectTheLogAndTheReport()
{
    const std::uintptr_t key = makeProject("/p1.htm", "/p2.htm");
    QVERIFY(m_pFrame->StartDownload(key));
    // One job per project at a time.
    QVERIFY(!m_pFrame->StartDownload(key));

    QTRY_COMPARE(m_reports.size(), 1);
    const std::string strProjectFolder = files::Join(m_pTemp->path(), "新建工程");
    QCOMPARE(m_reports.at(0), QStringLiteral("新建工程\t2\t0\t") + toQ(strProjectFolder));
    QTRY_COMPARE(m_pFrame->JobCount(), 0);

    const QString strP1 = toQ(m_pServer->Url("/p1.htm"));
    const QString strP2 = toQ(m_pServer->Url("/p2.htm"));
    QCOMPARE(log(), QStringLiteral("DownLoad file from : ") + strP1 + QStringLiteral("\n") + QStringLiteral("     ") +
                        toQ(m_pServer->Url("/a.gif")) + QStringLiteral("   ok\n") + QStringLiteral(".........") +
                        strP1 + QStringLiteral(" .......... ok \n") + QStringLiteral("DownLoad file from : ") + strP2 +
                        QStringLiteral("\n") + QStringLiteral(".........") + strP2 +
                        QStringLiteral(" .......... ok \n"));

    QTreeWidgetItem* project = m_pFrame->ProjectBar()->ProjectByKey(key);
    QCOMPARE(project->childCount(), 2);
    QCOMPARE(project->child(0)->text(0), QStringLiteral("第一页"));
    QCOMPARE(project->child(1)->text(0), QStringLiteral("Second"));
    const QString strFile = CProjectTree::ItemPath(project->child(0));
    QVERIFY(files::Exists(fromQ(strFile)));
    QCOMPARE(m_pFrame->ProjectBar()->PageUrl(project->child(0)), strP1);
    QVERIFY(m_pFrame->Document()->IsModified());
    QVERIFY(m_pFrame->windowTitle().endsWith(QStringLiteral(" *")));

    // The task stays for the project's next job.
    QVERIFY(m_pFrame->TaskFor(key));
    QVERIFY(m_pFrame->StartDownload(key));
    QTRY_COMPARE(m_reports.size(), 2);
    QTRY_COMPARE(m_pFrame->JobCount(), 0);
}

void DownloadIntoFrameTest::deletingAProjectCancelsItsJob()
{
    const std::uintptr_t key = makeProject("/slow1.htm", "");
    QVERIFY(m_pFrame->StartDownload(key));
    QTRY_VERIFY(log().contains(QStringLiteral("DownLoad file from : ")));

    m_pFrame->ProjectBar()->SelectNode(m_pFrame->ProjectBar()->ProjectByKey(key));
    m_pFrame->OnCommand(cmd::ID_DELETE_NODE);
    QVERIFY(m_pFrame->ProjectBar()->ProjectByKey(key) == nullptr);
    QVERIFY(m_pFrame->TaskFor(key) == nullptr);

    // The cancelled job ends by itself; nothing of it reaches the frame any more.
    QTRY_COMPARE(m_pFrame->JobCount(), 0);
    QVERIFY(m_reports.isEmpty());
    QVERIFY(!log().contains(QStringLiteral("download file faild")));
    QCOMPARE(m_pFrame->ProjectBar()->Projects().size(), 0);
}

void DownloadIntoFrameTest::exitEndsRunningAndWaitingJobs()
{
    // One job stands in a transfer; the other has just been started and its first event waits for
    // the frame, which is busy closing.
    const std::uintptr_t stalled = makeProject("/slow1.htm", "");
    QVERIFY(m_pFrame->StartDownload(stalled));
    QTRY_VERIFY(log().contains(QStringLiteral("DownLoad file from : ")));
    const std::uintptr_t waiting = makeProject("/p1.htm", "/p2.htm");
    QVERIFY(m_pFrame->StartDownload(waiting));

    QVERIFY(m_pFrame->close());
    QCOMPARE(m_pFrame->JobCount(), 0);
    QVERIFY(m_reports.isEmpty());
}

QTEST_MAIN(DownloadIntoFrameTest)
#include "DownloadIntoFrameTest.moc"
