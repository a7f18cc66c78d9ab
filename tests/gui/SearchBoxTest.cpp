// The search box above the project tree, in a real window: finding a page of a saved project, opening it
// in a tab with the matches highlighted, and the list following jobs and the tree's edits.
#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidgetItem>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

#include "ProjectFixtures.h"
#include "TempFolder.h"
#include "TestHttpServer.h"
#include "app/MainFrame.h"
#include "browser/BrowserTabCtrl.h"
#include "browser/MyWB.h"
#include "browser/TrawlixView.h"
#include "common/CommandIds.h"
#include "common/Text.h"
#include "download/DownloadWorker.h"
#include "jobs/DownloadJobs.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "project/ProjectBar.h"
#include "project/ProjectStore.h"
#include "project/ProjectTree.h"
#include "project/TrawlixDoc.h"
#include "search/DesktopSearch.h"
#include "search/SearchPanel.h"

class SearchBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void findsASavedPageAndOpensItWithTheMatchesHighlighted();
    void listFollowsJobsAndTreeEdits();
    void shortcutsReachTheBox();
    void findTextAndSnippet();

private:
    QLineEdit* box() const { return m_pFrame->findChild<QLineEdit*>(QStringLiteral("searchBox")); }
    QListWidget* results() const { return m_pFrame->findChild<QListWidget*>(QStringLiteral("searchResults")); }
    CProjectBar* bar() const { return m_pFrame->findChild<CProjectBar*>(); }
    CTrawlixView* view() const { return m_pFrame->findChild<CTrawlixView*>(); }
    void search(const QString& strQuery);
    // With TRAWLIX_SHOTS set to a folder, the window is saved there as a picture.
    void shoot(const QString& strName) const;

    std::unique_ptr<TempFolder> m_pTemp;
    std::unique_ptr<TestHttpServer> m_pServer;
    std::unique_ptr<CMainFrame> m_pFrame;
    std::string m_strProjectFile;
};

void SearchBoxTest::initTestCase()
{
    g_stopDownloadEvent.ResetEvent();
    m_pTemp = std::make_unique<TempFolder>();
    // The index and the settings of this run only.
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(m_pTemp->file("data")));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, toQ(m_pTemp->file("config")));

    // A saved project: a page as a job stores it (GB2312) and one in UTF-8.
    const std::string strFolder = m_pTemp->file("save/手册");
    files::CreateFolders(strFolder);
    QVERIFY(files::WriteFile(
        strFolder + "/1.htm",
        codepage::Utf8ToGb18030("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
                                "<title>工具介绍</title></head><body><h1>工具</h1><p>这里介绍软件包管理工具。</p>"
                                "<p>其他内容。</p><p>再说一次：软件包管理很重要。</p></body></html>")));
    QVERIFY(files::WriteFile(strFolder + "/2.htm", "<html><head><meta charset=\"utf-8\"><title>内核</title></head>"
                                                   "<body><p>Linux kernel 内核模块</p></body></html>"));
    m_strProjectFile = m_pTemp->file("手册.wbr");
    CProjectStore store;
    store.SetPath(m_strProjectFile);
    store.SetProjects({MakeProject("手册", {MakePage("工具介绍", strFolder + "/1.htm", "http://h/1.htm"),
                                            MakePage("内核", strFolder + "/2.htm", "http://h/2.htm")})});
    QVERIFY(store.LastTransferOk());

    m_pServer = std::make_unique<TestHttpServer>();
    m_pServer->Route("/new.htm", TestHttpResponse::Html("<html><head><meta charset=\"utf-8\"><title>新来的</title>"
                                                        "</head><body>第二次任务保存的页面</body></html>"));

    m_pFrame = std::make_unique<CMainFrame>();
    CUserPrompts prompts = m_pFrame->Prompts();
    prompts.execDialog = [](QDialog&) { return int(QDialog::Accepted); };
    prompts.messageBox = [](QWidget*, QMessageBox::Icon, const QString&, const QString&, QMessageBox::StandardButtons) {
        return QMessageBox::Yes;
    };
    m_pFrame->SetPrompts(prompts);
    m_pFrame->resize(1100, 700);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
    QVERIFY(m_pFrame->OpenProjectFile(toQ(m_strProjectFile)));
}

void SearchBoxTest::cleanupTestCase()
{
    m_pFrame->Document()->SetModifiedFlag(false);
    m_pFrame.reset();
    m_pServer.reset();
    m_pTemp.reset();
}

void SearchBoxTest::search(const QString& strQuery)
{
    box()->clear();
    box()->setFocus();
    // Chinese comes from an input method as committed text.
    QInputMethodEvent typed;
    typed.setCommitString(strQuery);
    QApplication::sendEvent(box(), &typed);
    QCOMPARE(box()->text(), strQuery);
}

void SearchBoxTest::shoot(const QString& strName) const
{
    const QByteArray folder = qgetenv("TRAWLIX_SHOTS");
    if (folder.isEmpty()) {
        return;
    }
    QTest::qWait(300);
    const QPixmap picture = m_pFrame->screen()->grabWindow(m_pFrame->winId());
    QVERIFY(picture.save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + strName));
}

void SearchBoxTest::findsASavedPageAndOpensItWithTheMatchesHighlighted()
{
    QVERIFY(box()->isVisible());
    QCOMPARE(box()->placeholderText(), QStringLiteral("搜索"));
    QVERIFY(!results()->isVisible());

    search(QStringLiteral("软件包管理"));
    QTRY_COMPARE_WITH_TIMEOUT(results()->count(), 1, 15000);
    QVERIFY(results()->isVisible());
    const QListWidgetItem* hit = results()->item(0);
    QCOMPARE(hit->text(), QStringLiteral("工具介绍"));
    const QString strFile = toQ(m_pTemp->file("save/手册/1.htm"));
    QCOMPARE(hit->data(CSearchPanel::kRoleFile).toString(), strFile);
    QCOMPARE(hit->data(CSearchPanel::kRoleFind).toString(), QStringLiteral("软件包管理"));
    const QString strHtml = hit->data(CSearchPanel::kRoleHtml).toString();
    QVERIFY2(strHtml.contains(QStringLiteral("<b>软件包管理</b>")), qPrintable(strHtml));
    QVERIFY(strHtml.contains(QStringLiteral("手册")));
    shoot(QStringLiteral("search-results.png"));

    // Enter in the list opens the page in a new tab and has the browser find the match.
    const int nTabs = view()->TabCtrl()->Count();
    results()->setFocus();
    results()->setCurrentRow(0);
    QTest::keyClick(results(), Qt::Key_Return);
    QCOMPARE(view()->TabCtrl()->Count(), nTabs + 1);
    CMyWB* pBrowser = view()->TabCtrl()->CurrentBrowser();
    QVERIFY(pBrowser);
    QSignalSpy found(pBrowser->page(), &QWebEnginePage::findTextFinished);
    QTRY_COMPARE_WITH_TIMEOUT(pBrowser->LocationAddress(), strFile, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!found.isEmpty(), 20000);
    QCOMPARE(found.first().at(0).value<QWebEngineFindTextResult>().numberOfMatches(), 2);
    shoot(QStringLiteral("search-opened.png"));

    // A click opens the hit as well; Enter in the box opens the best hit of what was typed.
    QTest::mouseClick(results()->viewport(), Qt::LeftButton, {}, results()->visualItemRect(hit).center());
    QCOMPARE(view()->TabCtrl()->Count(), nTabs + 2);
    search(QStringLiteral("kernel"));
    QTest::keyClick(box(), Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(view()->TabCtrl()->Count(), nTabs + 3, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(view()->TabCtrl()->CurrentBrowser()->LocationAddress(),
                              toQ(m_pTemp->file("save/手册/2.htm")), 20000);
}

void SearchBoxTest::listFollowsJobsAndTreeEdits()
{
    search(QStringLiteral("第二次"));
    const auto status = [this] { return m_pFrame->findChild<QLabel*>(QStringLiteral("searchStatus")); };
    QTRY_COMPARE_WITH_TIMEOUT(status()->text(), QStringLiteral("没有找到"), 15000);
    QCOMPARE(results()->count(), 0);

    // A job of the open project saves a page: the shown list takes it in.
    QTreeWidgetItem* project = bar()->Projects().first();
    const std::uintptr_t key = bar()->ProjectKey(project);
    CDownloadTask* task = m_pFrame->Jobs()->TaskFor(key);
    QVERIFY(task);
    task->m_strFirstUrl = m_pServer->Url("/new.htm");
    task->m_strLastUrl.clear();
    QVERIFY(m_pFrame->Jobs()->Start(key));
    QTRY_COMPARE_WITH_TIMEOUT(results()->count(), 1, 20000);
    QCOMPARE(results()->item(0)->text(), QStringLiteral("新来的"));
    QTRY_COMPARE_WITH_TIMEOUT(m_pFrame->Jobs()->JobCount(), 0, 20000);

    // The project renamed in the tree: the hit names it so.
    bar()->SelectNode(project, false);
    bar()->SetItemText(project, QStringLiteral("手册二"));
    m_pFrame->Document()->MarkModified();
    QTRY_VERIFY_WITH_TIMEOUT(
        results()->count() == 1 &&
            results()->item(0)->data(CSearchPanel::kRoleHtml).toString().contains(QStringLiteral("手册二")),
        15000);

    // The page deleted from the tree leaves the list.
    QTreeWidgetItem* page = project->child(project->childCount() - 1);
    QCOMPARE(page->text(0), QStringLiteral("新来的"));
    bar()->SelectNode(page, false);
    m_pFrame->OnCommand(cmd::ID_DELETE_NODE);
    QTRY_COMPARE_WITH_TIMEOUT(results()->count(), 0, 15000);
    QCOMPARE(status()->text(), QStringLiteral("没有找到"));

    // An emptied box hides the list.
    box()->clear();
    QVERIFY(!results()->isVisible());
}

void SearchBoxTest::shortcutsReachTheBox()
{
    // Ctrl+F in the tree.
    m_pFrame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pFrame.get()));
    bar()->Tree()->setFocus();
    QTRY_VERIFY(bar()->Tree()->hasFocus());
    QTest::keyClick(bar()->Tree(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(box()->hasFocus());

    // Ctrl+Shift+F anywhere, the project window shown again if it was hidden.
    m_pFrame->OnCommand(cmd::ID_VIEW_PROJECT_WINDOW);
    QVERIFY(!bar()->isVisible());
    view()->setFocus();
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_pFrame.get(), Qt::Key_F,
                    Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_VERIFY(bar()->isVisible());
    QTRY_VERIFY(box()->hasFocus());
}

void SearchBoxTest::findTextAndSnippet()
{
    const QString strSnippet = QStringLiteral("前面\x02Kernel\x03 后面 <tag> & \x02x\x03");
    QCOMPARE(CSearchPanel::SnippetHtml(strSnippet),
             QStringLiteral("前面<b>Kernel</b> 后面 &lt;tag&gt; &amp; <b>x</b>"));
    // The page is searched for its first match as the page has it; without one, the query's first term.
    QCOMPARE(CSearchPanel::FindText(strSnippet, QStringLiteral("kernel")), QStringLiteral("Kernel"));
    const std::pair<QString, QString> queries[] = {
        {QStringLiteral("内核 模块"), QStringLiteral("内核")},
        {QStringLiteral("-老 \"软件 包\" x"), QStringLiteral("软件 包")},
        {QStringLiteral("( NOT OR kern* )"), QStringLiteral("kern")},
        {QStringLiteral("-only"), QString()},
    };
    for (const auto& [strQuery, strExpected] : queries) {
        QCOMPARE(CSearchPanel::FindText(QStringLiteral("无标记"), strQuery), strExpected);
    }
}

QTEST_MAIN(SearchBoxTest)
#include "SearchBoxTest.moc"
