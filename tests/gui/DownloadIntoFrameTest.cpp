#include <deque>

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QTest>
#include <QTreeWidgetItem>

#include "ProjectFixtures.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "app/MainFrame.h"
#include "app/MessageBar.h"
#include "app/MessageEdit.h"
#include "app/RecentFileList.h"
#include "common/CommandIds.h"
#include "common/Text.h"
#include "download/DownloadWorker.h"
#include "jobs/DownloadJobs.h"
#include "platform/Files.h"
#include "project/ProjectBar.h"
#include "project/ProjectStore.h"
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
    void closingWhileDownloadingAsksFirst();
    void recentFiles();

private:
    // A new empty project whose task fetches the pages first..last of the server into the temp folder.
    std::uintptr_t makeProject(const std::string& strFirst, const std::string& strLast);
    QString log() const;

    std::unique_ptr<TempFolder> m_pTemp;
    std::unique_ptr<TestHttpServer> m_pServer;
    std::unique_ptr<CMainFrame> m_pFrame;
    QStringList m_reports;
    // The user's answers, in order (yes when none is left), and the questions asked.
    std::deque<QMessageBox::StandardButton> m_buttons;
    QStringList m_asked;
};

void DownloadIntoFrameTest::init()
{
    g_stopDownloadEvent.ResetEvent();
    m_pTemp = std::make_unique<TempFolder>();
    // The recent files are kept in settings of our own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, toQ(m_pTemp->file("config")));
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
    m_buttons.clear();
    m_asked.clear();
    prompts.messageBox = [this](QWidget*, QMessageBox::Icon, const QString& caption, const QString& text,
                                QMessageBox::StandardButtons) {
        m_asked.append(caption + QLatin1Char('|') + text);
        if (m_buttons.empty()) {
            return QMessageBox::Yes;
        }
        const QMessageBox::StandardButton answer = m_buttons.front();
        m_buttons.pop_front();
        return answer;
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
    const QList<QTreeWidgetItem*> projects = m_pFrame->findChild<CProjectBar*>()->Projects();
    const std::uintptr_t key = m_pFrame->findChild<CProjectBar*>()->ProjectKey(projects.last());
    CDownloadTask* task = m_pFrame->Jobs()->TaskFor(key);
    task->m_strSaveFolder = m_pTemp->path();
    task->m_strFirstUrl = m_pServer->Url(strFirst);
    task->m_strLastUrl = strLast.empty() ? std::string() : m_pServer->Url(strLast);
    return key;
}

QString DownloadIntoFrameTest::log() const
{
    return m_pFrame->findChild<CMessageBar*>()->Edit()->toPlainText();
}

void DownloadIntoFrameTest::jobFillsTheProjectTheLogAndTheReport()
{
    const std::uintptr_t key = makeProject("/p1.htm", "/p2.htm");
    QVERIFY(m_pFrame->Jobs()->Start(key));
    // One job per project at a time.
    QVERIFY(!m_pFrame->Jobs()->Start(key));

    QTRY_COMPARE(m_reports.size(), 1);
    const std::string strProjectFolder = files::Join(m_pTemp->path(), "新建工程");
    QCOMPARE(m_reports.at(0), QStringLiteral("新建工程\t2\t0\t") + toQ(strProjectFolder));
    QTRY_COMPARE(m_pFrame->Jobs()->JobCount(), 0);

    const QString strP1 = toQ(m_pServer->Url("/p1.htm"));
    const QString strP2 = toQ(m_pServer->Url("/p2.htm"));
    QCOMPARE(log(), QStringLiteral("DownLoad file from : ") + strP1 + QStringLiteral("\n") + QStringLiteral("     ") +
                        toQ(m_pServer->Url("/a.gif")) + QStringLiteral("   ok\n") + QStringLiteral(".........") +
                        strP1 + QStringLiteral(" .......... ok \n") + QStringLiteral("DownLoad file from : ") + strP2 +
                        QStringLiteral("\n") + QStringLiteral(".........") + strP2 +
                        QStringLiteral(" .......... ok \n"));

    QTreeWidgetItem* project = m_pFrame->findChild<CProjectBar*>()->ProjectByKey(key);
    QCOMPARE(project->childCount(), 2);
    QCOMPARE(project->child(0)->text(0), QStringLiteral("第一页"));
    QCOMPARE(project->child(1)->text(0), QStringLiteral("Second"));
    const QString strFile = CProjectTree::ItemPath(project->child(0));
    QVERIFY(files::Exists(fromQ(strFile)));
    QCOMPARE(m_pFrame->findChild<CProjectBar*>()->PageUrl(project->child(0)), strP1);
    QVERIFY(m_pFrame->Document()->IsModified());
    QVERIFY(m_pFrame->windowTitle().endsWith(QStringLiteral(" *")));

    // The task stays for the project's next job.
    QVERIFY(m_pFrame->Jobs()->TaskFor(key));
    QVERIFY(m_pFrame->Jobs()->Start(key));
    QTRY_COMPARE(m_reports.size(), 2);
    QTRY_COMPARE(m_pFrame->Jobs()->JobCount(), 0);
}

void DownloadIntoFrameTest::deletingAProjectCancelsItsJob()
{
    const std::uintptr_t key = makeProject("/slow1.htm", "");
    QVERIFY(m_pFrame->Jobs()->Start(key));
    QTRY_VERIFY(log().contains(QStringLiteral("DownLoad file from : ")));

    m_pFrame->findChild<CProjectBar*>()->SelectNode(m_pFrame->findChild<CProjectBar*>()->ProjectByKey(key));
    m_pFrame->OnCommand(cmd::ID_DELETE_NODE);
    QVERIFY(m_pFrame->findChild<CProjectBar*>()->ProjectByKey(key) == nullptr);
    QVERIFY(m_pFrame->Jobs()->TaskFor(key) == nullptr);

    // The cancelled job ends by itself; nothing of it reaches the frame any more.
    QTRY_COMPARE(m_pFrame->Jobs()->JobCount(), 0);
    QVERIFY(m_reports.isEmpty());
    QVERIFY(!log().contains(QStringLiteral("download file faild")));
    QCOMPARE(m_pFrame->findChild<CProjectBar*>()->Projects().size(), 0);
}

void DownloadIntoFrameTest::exitEndsRunningAndWaitingJobs()
{
    // One job stands in a transfer; the other has just been started and its first event waits for
    // the frame, which is busy closing.
    const std::uintptr_t stalled = makeProject("/slow1.htm", "");
    QVERIFY(m_pFrame->Jobs()->Start(stalled));
    QTRY_VERIFY(log().contains(QStringLiteral("DownLoad file from : ")));
    const std::uintptr_t waiting = makeProject("/p1.htm", "/p2.htm");
    QVERIFY(m_pFrame->Jobs()->Start(waiting));

    QVERIFY(m_pFrame->close());
    QCOMPARE(m_pFrame->Jobs()->JobCount(), 0);
    QVERIFY(m_reports.isEmpty());
}

void DownloadIntoFrameTest::closingWhileDownloadingAsksFirst()
{
    QVERIFY(m_pFrame->Jobs()->Start(makeProject("/slow1.htm", "")));
    QTRY_VERIFY(log().contains(QStringLiteral("DownLoad file from : ")));
    m_pFrame->Document()->SetModifiedFlag(false);

    m_buttons = {QMessageBox::No};
    QVERIFY(!m_pFrame->close());
    QCOMPARE(m_asked, QStringList{QStringLiteral("Trawlix|正在下载，确定要退出吗?")});
    QCOMPARE(m_pFrame->Jobs()->JobCount(), 1);

    m_buttons = {QMessageBox::Yes};
    QVERIFY(m_pFrame->close());
    QCOMPARE(m_pFrame->Jobs()->JobCount(), 0);
    QVERIFY(m_reports.isEmpty());
}

void DownloadIntoFrameTest::recentFiles()
{
    QStringList paths;
    for (const char* name : {"a", "b", "c", "d", "e"}) {
        const std::string strPath = m_pTemp->file(std::string(name) + ".wbr");
        CProjectStore store;
        store.SetPath(strPath);
        store.SetHeaderName("所有工程");
        store.SetProjects({MakeProject(name)});
        QVERIFY(store.LastTransferOk());
        paths.append(toQ(strPath));
    }
    auto* fileMenu = m_pFrame->findChild<QMenu*>(QStringLiteral("fileMenu"));
    const auto recentAction = [&](int n) {
        return m_pFrame->findChild<QAction*>(QStringLiteral("recentFile%1").arg(n));
    };
    emit fileMenu->aboutToShow();
    QVERIFY(m_pFrame->findChild<QAction*>(QStringLiteral("recentFileNone"))->isVisible());
    QVERIFY(!recentAction(1)->isVisible());

    for (const QString& strPath : paths) {
        QVERIFY(m_pFrame->OpenProjectFile(strPath));
    }
    // The last four, newest first.
    QCOMPARE(m_pFrame->RecentFiles().Files(), (QStringList{paths[4], paths[3], paths[2], paths[1]}));
    emit fileMenu->aboutToShow();
    QVERIFY(!m_pFrame->findChild<QAction*>(QStringLiteral("recentFileNone"))->isVisible());
    QCOMPARE(recentAction(1)->text(), QStringLiteral("&1 ") + paths[4]);
    QCOMPARE(recentAction(4)->text(), QStringLiteral("&4 ") + paths[1]);

    // Saving under a new name puts that file first; the list is in the settings store.
    const QString strSaved = toQ(m_pTemp->file("saved.wbr"));
    CUserPrompts prompts = m_pFrame->Prompts();
    prompts.saveFileName = [&](QWidget*, const QString&, const QString&, const QString&) { return strSaved; };
    m_pFrame->SetPrompts(prompts);
    QVERIFY(m_pFrame->Document()->SaveAs());
    CRecentFileList stored;
    QCOMPARE(stored.Files(), (QStringList{strSaved, paths[4], paths[3], paths[2]}));

    // Choosing an entry opens it; a missing one is said and taken off the list.
    recentAction(4)->trigger();
    QCOMPARE(m_pFrame->Document()->Path(), paths[2]);
    QVERIFY(QFile::remove(paths[3]));
    m_asked.clear();
    emit fileMenu->aboutToShow();
    QCOMPARE(recentAction(4)->text(), QStringLiteral("&4 ") + paths[3]);
    recentAction(4)->trigger();
    QCOMPARE(m_asked,
             QStringList{QStringLiteral("Trawlix|文件 \"%1\" 已不存在，已从最近文件列表中删除。").arg(paths[3])});
    QCOMPARE(m_pFrame->Document()->Path(), paths[2]);
    QCOMPARE(m_pFrame->RecentFiles().Files(), (QStringList{paths[2], strSaved, paths[4]}));
    QCOMPARE(CRecentFileList().Files(), m_pFrame->RecentFiles().Files());
}

QTEST_MAIN(DownloadIntoFrameTest)
#include "DownloadIntoFrameTest.moc"
