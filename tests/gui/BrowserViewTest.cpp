#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>

#include "TempFolder.h"
#include "TestHttpServer.h"
#include "browser/BrowserCommands.h"
#include "browser/BrowserProfile.h"
#include "browser/BrowserTabCtrl.h"
#include "browser/BrowserTabRow.h"
#include "browser/MyWB.h"
#include "browser/TrawlixView.h"
#include "common/Text.h"

using namespace browsercmd;

namespace
{
// Stands in for the main frame: records what the view reports, and takes a page's progress only while
// the page's address is the one it shows, as the frame does.
class RecordingHost final
{
public:
    void Attach(CTrawlixView& view)
    {
        QObject::connect(&view, &CTrawlixView::addressReported, &view, [this](const QString& strText) {
            m_nCallsWhenGone += m_bGone;
            m_strAddress = strText;
        });
        QObject::connect(&view, &CTrawlixView::progressReported, &view, [this](int nPercent) {
            m_nCallsWhenGone += m_bGone;
            m_nProgress = nPercent;
            m_gauge.append(nPercent);
        });
        QObject::connect(&view, &CTrawlixView::loadProgressed, &view, [this](int nPercent, const QString& strLocation) {
            m_nCallsWhenGone += m_bGone;
            if (strLocation == m_strAddress) {
                m_nProgress = nPercent;
            }
        });
        QObject::connect(&view, &CTrawlixView::favoriteRequested, &view,
                         [this](const QString& strAddress, const QString& strTitle) {
                             m_favorites.append(strAddress + QLatin1Char('|') + strTitle);
                         });
    }

    QString m_strAddress;
    QList<int> m_gauge;
    int m_nProgress = 0;
    QStringList m_favorites;
    // Set when the frame is being torn down: the browser must not report any more.
    bool m_bGone = false;
    int m_nCallsWhenGone = 0;
};

void WriteFile(const QString& strPath, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile file(strPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

QByteArray Html(const QString& strTitle, const QByteArray& body = {})
{
    QByteArray html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\">";
    if (!strTitle.isNull()) {
        html += "<title>" + strTitle.toUtf8() + "</title>";
    }
    return html + "</head><body>" + body + "</body></html>";
}

QStringList TabTexts(const CBrowserTabCtrl* pTabs)
{
    QStringList texts;
    for (int i = 0; i < pTabs->Count(); ++i) {
        texts << pTabs->TabText(i);
    }
    return texts;
}

bool IsChecked(const CTrawlixView& view, int nId)
{
    bool bEnabled = false;
    bool bChecked = false;
    view.UpdateCommand(nId, bEnabled, bChecked);
    return bChecked;
}

bool IsEnabled(const CTrawlixView& view, int nId)
{
    bool bEnabled = false;
    bool bChecked = false;
    view.UpdateCommand(nId, bEnabled, bChecked);
    return bEnabled;
}
} // namespace

class BrowserViewTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shortenTitle_data();
    void shortenTitle();
    void computeProgress_data();
    void computeProgress();

    void showUrlOpensFirstTabThenNavigatesSelectedTab();
    void showUrlWithEmptyAddressOnlyStops();
    void newBlankPageAlwaysOpensSelectedTab();
    void longAndMissingTitlesOnTabs();
    void httpPageReportsAddressAndProgress();
    void linkToNewWindowOpensTabAtEnd();

    void closeTabSelectsNeighbour_data();
    void closeTabSelectsNeighbour();
    void closeOnlyTabEmptiesStripAndStartsKeysAgain();
    void tabMenuClosesTabUnderPoint();
    void doubleClickClosesSelectedTab();
    void dragMovesTabWithItsBrowser();
    void keyboardFocusFollowsThePageInView();
    void closeButtonsAndMiddleClickCloseThatTab();
    void keysCloseAndSwitchTabs();

    void textSizeChangesSelectedTabOnly();
    void backAndForwardFollowSelectedTab();
    void commandsWithoutTabDoNothing();

    void savedPageLoadsOwnImagesButCannotReadOtherFiles();
    void saveAsWritesPage();
    void saveAsDialogOffersThePageTitleInTheDocumentsFolder();
    void favoritesGetAddressAndShortTitle();
    void printPreviewShowsPageOnPaper();
    void viewClosesWhileRequestPending();

private:
    QString Path(const QString& strName) const { return QDir(toQ(m_pFolder->path())).filePath(strName); }
    QString MakePage(const QString& strName, const QString& strTitle, const QByteArray& body = {});
    // Opens each page in a new tab and waits until all have loaded.
    void OpenTabs(const QStringList& titles);

    std::unique_ptr<TempFolder> m_pFolder;
    RecordingHost m_host;
    std::unique_ptr<CTrawlixView> m_pView;
    CBrowserTabCtrl* m_pTabs = nullptr;
};

void BrowserViewTest::init()
{
    m_pFolder = std::make_unique<TempFolder>();
    m_host = RecordingHost();
    m_pView = std::make_unique<CTrawlixView>();
    m_host.Attach(*m_pView);
    m_pTabs = m_pView->TabCtrl();
    m_pView->resize(800, 600);
    m_pView->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pView.get()));
}

void BrowserViewTest::cleanup()
{
    m_pView.reset();
    m_pFolder.reset();
}

QString BrowserViewTest::MakePage(const QString& strName, const QString& strTitle, const QByteArray& body)
{
    const QString strPath = Path(strName);
    WriteFile(strPath, Html(strTitle, body));
    return strPath;
}

void BrowserViewTest::OpenTabs(const QStringList& titles)
{
    for (const QString& strTitle : titles) {
        const int nBefore = m_pTabs->Count();
        m_pView->OpenInNewTab(MakePage(strTitle + QStringLiteral(".htm"), strTitle));
        QTRY_COMPARE(m_pTabs->Count(), nBefore + 1);
        QTRY_COMPARE(m_pTabs->TabText(nBefore), CMyWB::ShortenTitle(strTitle, CMyWB::TITLE_LIMIT));
    }
}

void BrowserViewTest::shortenTitle_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shortened");
    QTest::newRow("14 kept") << QStringLiteral("abcdefghijklmn") << QStringLiteral("abcdefghijklmn");
    QTest::newRow("15 cut") << QStringLiteral("abcdefghijklmno") << QStringLiteral("abcdefghijkl...");
    QTest::newRow("chinese counts characters")
        << QStringLiteral("网页离线阅读与电子书制作工具的帮助页") << QStringLiteral("网页离线阅读与电子书制作...");
    QTest::newRow("empty") << QString() << QString();
}

void BrowserViewTest::shortenTitle()
{
    QFETCH(QString, text);
    QFETCH(QString, shortened);
    QCOMPARE(CMyWB::ShortenTitle(text, CMyWB::TITLE_LIMIT), shortened);
}

void BrowserViewTest::computeProgress_data()
{
    QTest::addColumn<int>("progress");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("percent");
    QTest::newRow("scaled") << 50 << 1000 << 5;
    QTest::newRow("capped") << 150 << 100 << 100;
    QTest::newRow("maximum below 100") << 10 << 99 << CMyWB::NO_PROGRESS;
    QTest::newRow("negative") << -1 << 100 << CMyWB::NO_PROGRESS;
    QTest::newRow("no maximum") << 0 << 0 << CMyWB::NO_PROGRESS;
    QTest::newRow("done") << 100 << 100 << 100;
}

void BrowserViewTest::computeProgress()
{
    QFETCH(int, progress);
    QFETCH(int, maximum);
    QFETCH(int, percent);
    QCOMPARE(CMyWB::ComputeProgress(progress, maximum), percent);
}

void BrowserViewTest::showUrlOpensFirstTabThenNavigatesSelectedTab()
{
    const QString strFirst = MakePage(QStringLiteral("第一 页.htm"), QStringLiteral("第一页"));
    const QString strSecond = MakePage(QStringLiteral("second.htm"), QStringLiteral("Second"));

    m_pView->ShowUrl(strFirst);
    QTRY_COMPARE(m_pTabs->Count(), 1);
    QCOMPARE(m_pTabs->KeyAt(0), CBrowserTabCtrl::FIRST_KEY);
    QTRY_COMPARE(m_pTabs->TabText(0), QStringLiteral("第一页"));
    // The frame gets the local path back, spaces and Chinese names as they are on disk.
    QTRY_COMPARE(m_host.m_strAddress, strFirst);
    CMyWB* pBrowser = m_pTabs->CurrentBrowser();

    m_pView->ShowUrl(strSecond);
    QTRY_COMPARE(m_pTabs->TabText(0), QStringLiteral("Second"));
    QTRY_COMPARE(m_host.m_strAddress, strSecond);
    QCOMPARE(m_pTabs->Count(), 1);
    QCOMPARE(m_pTabs->CurrentBrowser(), pBrowser);
}

void BrowserViewTest::showUrlWithEmptyAddressOnlyStops()
{
    OpenTabs({QStringLiteral("One")});
    const QString strAddress = m_pTabs->CurrentBrowser()->LocationAddress();

    m_pView->ShowUrl(QString());
    // A request that did go through afterwards proves the empty one was never queued behind it.
    m_pView->OnCommand(ID_NEW_BLANK_PAGE);
    QTRY_COMPARE(m_pTabs->Count(), 2);
    QCOMPARE(m_pTabs->BrowserAt(0)->LocationAddress(), strAddress);
    QCOMPARE(m_pTabs->TabText(0), QStringLiteral("One"));
}

void BrowserViewTest::newBlankPageAlwaysOpensSelectedTab()
{
    OpenTabs({QStringLiteral("One")});
    for (int nExpected = 2; nExpected <= 3; ++nExpected) {
        m_pView->OnCommand(ID_NEW_BLANK_PAGE);
        QTRY_COMPARE(m_pTabs->Count(), nExpected);
        QCOMPARE(m_pTabs->CurrentIndex(), nExpected - 1);
        QCOMPARE(m_pTabs->KeyAt(nExpected - 1), CBrowserTabCtrl::FIRST_KEY + nExpected - 1);
        QTRY_COMPARE(m_pTabs->TabText(nExpected - 1), QStringLiteral("blank"));
        QCOMPARE(m_pTabs->CurrentBrowser()->url(), QUrl(QStringLiteral("about:blank")));
    }
    // Only the selected tab's browser is shown.
    QVERIFY(m_pTabs->BrowserAt(2)->isVisible());
    QVERIFY(!m_pTabs->BrowserAt(0)->isVisible());
    QVERIFY(!m_pTabs->BrowserAt(1)->isVisible());
}

void BrowserViewTest::longAndMissingTitlesOnTabs()
{
    // One request at a time: a second request before the first is taken would replace it.
    m_pView->OpenInNewTab(MakePage(QStringLiteral("long.htm"), QStringLiteral("A title of twenty-five ch")));
    QTRY_COMPARE(m_pTabs->Count(), 1);
    m_pView->OpenInNewTab(MakePage(QStringLiteral("untitled.htm"), QString(), "no title here"));
    QTRY_COMPARE(m_pTabs->Count(), 2);
    QTRY_COMPARE(TabTexts(m_pTabs), (QStringList{QStringLiteral("A title of t..."), QStringLiteral("blank")}));
    QCOMPARE(m_pTabs->BrowserAt(0)->ShortTitle(), QStringLiteral("A title of t..."));
}

void BrowserViewTest::httpPageReportsAddressAndProgress()
{
    TestHttpServer server;
    server.Route("/page.html", TestHttpResponse::Html(fromQ(QString::fromUtf8(Html(QStringLiteral("Served"))))));
    const QString strUrl = toQ(server.Url("/page.html"));

    m_pView->ShowUrl(strUrl);
    QTRY_COMPARE(m_pTabs->Count(), 1);
    QTRY_COMPARE(m_pTabs->TabText(0), QStringLiteral("Served"));
    QTRY_COMPARE(m_host.m_strAddress, strUrl);
    CMyWB* pBrowser = m_pTabs->CurrentBrowser();
    QTRY_COMPARE(pBrowser->Progress(), 100);

    // Stopping the page whose address the frame shows counts as finished and moves the frame's value.
    m_host.m_nProgress = 0;
    m_pView->OnCommand(ID_STOP);
    QCOMPARE(m_host.m_nProgress, 100);

    // A page whose address is not the frame's leaves the frame's value alone.
    m_host.m_strAddress = QStringLiteral("somewhere else");
    m_host.m_nProgress = 0;
    pBrowser->OnProgressChange(50, 100);
    QCOMPARE(pBrowser->Progress(), 50);
    QCOMPARE(m_host.m_nProgress, 0);

    // Bringing a tab into view pushes its own progress to the gauge.
    m_pView->OnCommand(ID_NEW_BLANK_PAGE);
    QTRY_COMPARE(m_pTabs->Count(), 2);
    QTRY_COMPARE(m_pTabs->CurrentBrowser()->Progress(), 100);
    m_host.m_gauge.clear();
    m_pTabs->TabRow()->setCurrentIndex(0);
    QCOMPARE(m_host.m_gauge, QList<int>{50});
    QCOMPARE(m_host.m_strAddress, strUrl);
}

void BrowserViewTest::linkToNewWindowOpensTabAtEnd()
{
    MakePage(QStringLiteral("target.htm"), QStringLiteral("Target"), "<h1>新窗口里的页</h1><p>Opened as a tab.</p>");
    const QString strFirst =
        MakePage(QStringLiteral("opener.htm"), QStringLiteral("Opener"),
                 "<a href=\"target.htm\" target=\"_blank\" style=\"display:block;width:400px;height:300px\">open</a>");
    m_pView->ShowUrl(strFirst);
    QTRY_COMPARE(m_pTabs->Count(), 1);
    QTRY_COMPARE(m_pTabs->TabText(0), QStringLiteral("Opener"));
    CMyWB* pFirst = m_pTabs->CurrentBrowser();
    QTRY_VERIFY(pFirst->focusProxy());

    QTest::mouseClick(pFirst->focusProxy(), Qt::LeftButton, {}, QPoint(100, 100));
    QTRY_COMPARE(m_pTabs->Count(), 2);
    QCOMPARE(m_pTabs->CurrentIndex(), 1);
    QTRY_COMPARE(m_pTabs->TabText(1), QStringLiteral("Target"));
    QCOMPARE(m_pTabs->TabText(0), QStringLiteral("Opener"));
    QCOMPARE(m_pTabs->BrowserAt(0), pFirst);
    QCOMPARE(pFirst->LocationAddress(), strFirst);
    QVERIFY(m_pTabs->BrowserAt(1)->isVisible());
    QVERIFY(!pFirst->isVisible());
    m_pView->grab().save(QStringLiteral("/tmp/trawlix-browser-view.png"));
}

void BrowserViewTest::closeTabSelectsNeighbour_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("closed");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QString>("nowSelected");
    const auto L = [](const char* psz) { return QString::fromLatin1(psz); };
    QTest::newRow("last selects the one before") << 2 << 2 << QStringList{L("A"), L("B")} << L("B");
    QTest::newRow("middle selects the one moving in") << 1 << 1 << QStringList{L("A"), L("C")} << L("C");
    QTest::newRow("first selects the one moving in") << 0 << 0 << QStringList{L("B"), L("C")} << L("B");
    // Closing a tab other than the selected one still moves the selection into its place.
    QTest::newRow("other tab") << 0 << 1 << QStringList{L("A"), L("C")} << L("C");
}

void BrowserViewTest::closeTabSelectsNeighbour()
{
    QFETCH(int, selected);
    QFETCH(int, closed);
    QFETCH(QStringList, remaining);
    QFETCH(QString, nowSelected);

    OpenTabs({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    m_pTabs->TabRow()->setCurrentIndex(selected);
    CMyWB* pClosed = m_pTabs->BrowserAt(closed);
    QSignalSpy destroyed(pClosed, &QObject::destroyed);

    m_pTabs->CloseTab(closed);
    QCOMPARE(destroyed.count(), 1);
    QCOMPARE(TabTexts(m_pTabs), remaining);
    QCOMPARE(m_pTabs->NodeCount(), 2);
    QCOMPARE(m_pTabs->TabText(m_pTabs->CurrentIndex()), nowSelected);
    QCOMPARE(m_pTabs->CurrentBrowser(), m_pTabs->BrowserAt(m_pTabs->CurrentIndex()));
    QVERIFY(m_pTabs->CurrentBrowser()->isVisible());
    QCOMPARE(m_host.m_strAddress, Path(nowSelected + QStringLiteral(".htm")));
    // Each browser knows its tab again, so a later title lands on the right tab.
    for (int i = 0; i < m_pTabs->Count(); ++i) {
        QCOMPARE(m_pTabs->BrowserAt(i)->TabIndex(), i);
    }
    // Keys are not reused while tabs remain.
    QCOMPARE(m_pTabs->NextKey(), CBrowserTabCtrl::FIRST_KEY + 3);
}

void BrowserViewTest::closeOnlyTabEmptiesStripAndStartsKeysAgain()
{
    // Without a tab the view is an empty area in the window colour, not whatever was drawn there before.
    const auto showsEmptyArea = [this] {
        const QImage image = m_pView->grab().toImage();
        const QColor window = m_pTabs->palette().color(QPalette::Window);
        for (const QPoint& pt : {QPoint(5, 5), image.rect().center(), QPoint(image.width() - 5, image.height() - 5)}) {
            if (image.pixelColor(pt) != window) {
                return false;
            }
        }
        return true;
    };
    QVERIFY(showsEmptyArea());

    OpenTabs({QStringLiteral("A"), QStringLiteral("B")});
    m_pTabs->CloseTab(1);
    QVERIFY(!m_host.m_strAddress.isEmpty());
    m_pTabs->CloseTab(0);
    QCOMPARE(m_pTabs->Count(), 0);
    QCOMPARE(m_pTabs->NodeCount(), 0);
    QCOMPARE(m_pTabs->CurrentBrowser(), nullptr);
    QCOMPARE(m_host.m_strAddress, QString());
    QVERIFY(showsEmptyArea());

    m_pView->ShowUrl(Path(QStringLiteral("A.htm")));
    QTRY_COMPARE(m_pTabs->Count(), 1);
    QCOMPARE(m_pTabs->KeyAt(0), CBrowserTabCtrl::FIRST_KEY);
    QTRY_COMPARE(m_pTabs->TabText(0), QStringLiteral("A"));
}

void BrowserViewTest::tabMenuClosesTabUnderPoint()
{
    OpenTabs({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    CBrowserTabRow* pRow = m_pTabs->TabRow();
    QCOMPARE(m_pTabs->CurrentIndex(), 2);

    // Right click on the first tab while the last is selected: the menu's close acts on the first.
    const QPoint ptFirst = pRow->tabRect(0).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, ptFirst, pRow->mapToGlobal(ptFirst));
    QApplication::sendEvent(pRow, &event);
    QMenu* pMenu = m_pTabs->findChild<QMenu*>(QStringLiteral("browserTabMenu"));
    QVERIFY(pMenu);
    QTRY_VERIFY(pMenu->isVisible());
    const QList<QAction*> actions = pMenu->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions[0]->text(), QStringLiteral("关闭"));
    QCOMPARE(actions[1]->text(), QStringLiteral("另存为.."));
    actions[0]->trigger();
    pMenu->close();
    QTRY_COMPARE(TabTexts(m_pTabs), (QStringList{QStringLiteral("B"), QStringLiteral("C")}));

    // The point is used up by the close: a second close does nothing.
    QVERIFY(m_pView->OnCommand(ID_TAB_CLOSE));
    QCOMPARE(m_pTabs->Count(), 2);
    // A point on no tab does nothing either.
    m_pTabs->SetMenuPoint(QPoint(pRow->width() - 2, 2));
    QVERIFY(m_pView->OnCommand(ID_TAB_CLOSE));
    QCOMPARE(m_pTabs->Count(), 2);
}

void BrowserViewTest::doubleClickClosesSelectedTab()
{
    OpenTabs({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    CBrowserTabRow* pRow = m_pTabs->TabRow();
    m_pTabs->TabRow()->setCurrentIndex(1);
    QTest::mouseDClick(pRow, Qt::LeftButton, {}, pRow->tabRect(1).center());
    QCOMPARE(TabTexts(m_pTabs), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
    QCOMPARE(m_pTabs->CurrentIndex(), 1);
}

void BrowserViewTest::closeButtonsAndMiddleClickCloseThatTab()
{
    OpenTabs({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")});
    CBrowserTabRow* pRow = m_pTabs->TabRow();
    m_pTabs->SelectTab(0);
    // Every tab has its own close button, inside the tab, beside its text.
    for (int i = 0; i < m_pTabs->Count(); ++i) {
        auto* pButton = pRow->tabButton(i, QTabBar::RightSide);
        QVERIFY(pButton);
        QVERIFY(pButton->isVisible());
        QVERIFY(pRow->tabRect(i).contains(pButton->geometry()));
    }
    QTest::mouseClick(pRow->tabButton(2, QTabBar::RightSide), Qt::LeftButton);
    QCOMPARE(TabTexts(m_pTabs), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("D")}));
    QCOMPARE(m_pTabs->CurrentIndex(), 0);

    QTest::mouseClick(pRow, Qt::MiddleButton, {}, pRow->tabRect(1).center());
    QCOMPARE(TabTexts(m_pTabs), (QStringList{QStringLiteral("A"), QStringLiteral("D")}));
    QCOMPARE(m_pTabs->NodeCount(), 2);
    QCOMPARE(m_pTabs->CurrentIndex(), 0);
}

void BrowserViewTest::keysCloseAndSwitchTabs()
{
    OpenTabs({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    m_pView->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pView.get()));
    // The keys work with the keyboard focus in the page itself.
    m_pTabs->CurrentBrowser()->setFocus();
    QTRY_VERIFY(QApplication::focusWidget() && m_pTabs->CurrentBrowser()->isAncestorOf(QApplication::focusWidget()));
    QCOMPARE(m_pTabs->CurrentIndex(), 2);
    QWidget* pFocus = QApplication::focusWidget();

    QTest::keyClick(pFocus, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(m_pTabs->CurrentIndex(), 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_pTabs->CurrentIndex(), 2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_pTabs->CurrentIndex(), 1);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(TabTexts(m_pTabs), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
    QCOMPARE(TabTexts(m_pTabs), (QStringList{QStringLiteral("A")}));
    QTest::keyClick(m_pView.get(), Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(m_pTabs->Count(), 0);
    // Without a tab the keys do nothing.
    QTest::keyClick(m_pView.get(), Qt::Key_W, Qt::ControlModifier);
    QTest::keyClick(m_pView.get(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(m_pTabs->Count(), 0);
}

void BrowserViewTest::keyboardFocusFollowsThePageInView()
{
    const auto hasFocus = [](const CMyWB* pBrowser) {
        const QWidget* pFocus = QApplication::focusWidget();
        return pBrowser && pFocus && (pFocus == pBrowser || pBrowser->isAncestorOf(pFocus));
    };
    OpenTabs({QStringLiteral("A")});
    m_pView->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pView.get()));
    m_pTabs->BrowserAt(0)->setFocus();
    QTRY_VERIFY(hasFocus(m_pTabs->BrowserAt(0)));

    // A page that goes out of view hands the focus to the page that comes into view, whether a new tab
    // opens or the user picks another tab.
    OpenTabs({QStringLiteral("B")});
    QTRY_VERIFY(hasFocus(m_pTabs->BrowserAt(1)));
    CBrowserTabRow* pRow = m_pTabs->TabRow();
    QTest::mouseClick(pRow, Qt::LeftButton, {}, pRow->tabRect(0).center());
    QCOMPARE(m_pTabs->CurrentIndex(), 0);
    QTRY_VERIFY(hasFocus(m_pTabs->BrowserAt(0)));
}

void BrowserViewTest::dragMovesTabWithItsBrowser()
{
    OpenTabs({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    CBrowserTabRow* pRow = m_pTabs->TabRow();
    CMyWB* pMoved = m_pTabs->BrowserAt(0);
    const QString strMovedAddress = pMoved->LocationAddress();

    // Onto its own place: nothing changes.
    const QPoint ptA = pRow->tabRect(0).center();
    QTest::mousePress(pRow, Qt::LeftButton, {}, ptA);
    QTest::mouseMove(pRow, ptA + QPoint(QApplication::startDragDistance() + 2, 0));
    QTest::mouseMove(pRow, ptA);
    QTest::mouseRelease(pRow, Qt::LeftButton, {}, ptA);
    QCOMPARE(TabTexts(m_pTabs), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));

    // Onto the last tab: the marker shows while dragging, then the tab lands there with its browser.
    const QPoint ptC = pRow->tabRect(2).center();
    QTest::mousePress(pRow, Qt::LeftButton, {}, ptA);
    QTest::mouseMove(pRow, ptA + QPoint(QApplication::startDragDistance() + 2, 0));
    QTest::mouseMove(pRow, ptC);
    QVERIFY(pRow->IsDragging());
    QCOMPARE(pRow->DropMarker(),
             QRect(pRow->tabRect(2).left() - 1, pRow->tabRect(2).top(), 2, pRow->tabRect(2).height()));
    pRow->grab().save(QStringLiteral("/tmp/trawlix-browser-drag.png"));
    QTest::mouseRelease(pRow, Qt::LeftButton, {}, ptC);

    QVERIFY(!pRow->IsDragging());
    QCOMPARE(TabTexts(m_pTabs), (QStringList{QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("A")}));
    QCOMPARE(m_pTabs->BrowserAt(2), pMoved);
    QCOMPARE(m_pTabs->CurrentIndex(), 2);
    QCOMPARE(m_pTabs->CurrentBrowser(), pMoved);
    QVERIFY(pMoved->isVisible());
    QCOMPARE(pMoved->LocationAddress(), strMovedAddress);
    QCOMPARE(m_pTabs->NodeCount(), 3);
    QCOMPARE(m_pTabs->NextKey(), CBrowserTabCtrl::FIRST_KEY + 3);
    for (int i = 0; i < m_pTabs->Count(); ++i) {
        QCOMPARE(m_pTabs->BrowserAt(i)->TabIndex(), i);
    }
    // A title arriving later still reaches the moved tab.
    pMoved->page()->runJavaScript(QStringLiteral("document.title = 'Moved'"));
    QTRY_COMPARE(m_pTabs->TabText(2), QStringLiteral("Moved"));
}

void BrowserViewTest::textSizeChangesSelectedTabOnly()
{
    QVERIFY(IsChecked(*m_pView, ID_TEXT_MEDIUM));
    OpenTabs({QStringLiteral("A"), QStringLiteral("B")});

    const struct
    {
        int nId;
        qreal dZoom;
    } cases[] = {{ID_TEXT_LARGEST, 1.5},
                 {ID_TEXT_LARGER, 1.25},
                 {ID_TEXT_MEDIUM, 1.0},
                 {ID_TEXT_SMALLER, 0.875},
                 {ID_TEXT_SMALLEST, 0.75}};
    for (const auto& c : cases) {
        QVERIFY(m_pView->OnCommand(c.nId));
        QCOMPARE(m_pTabs->CurrentBrowser()->zoomFactor(), c.dZoom);
        for (int nId = ID_TEXT_LARGEST; nId <= ID_TEXT_SMALLEST; ++nId) {
            QCOMPARE(IsChecked(*m_pView, nId), nId == c.nId);
            QVERIFY(IsEnabled(*m_pView, nId));
        }
    }
    QCOMPARE(m_pTabs->BrowserAt(0)->zoomFactor(), 1.0);

    m_pView->OnCommand(ID_NEW_BLANK_PAGE);
    QTRY_COMPARE(m_pTabs->Count(), 3);
    QCOMPARE(m_pTabs->CurrentBrowser()->zoomFactor(), 1.0);
    QVERIFY(IsChecked(*m_pView, ID_TEXT_SMALLEST));
}

void BrowserViewTest::backAndForwardFollowSelectedTab()
{
    OpenTabs({QStringLiteral("A")});
    QVERIFY(!IsEnabled(*m_pView, ID_BACK));
    QVERIFY(!IsEnabled(*m_pView, ID_FORWARD));

    m_pView->ShowUrl(MakePage(QStringLiteral("next.htm"), QStringLiteral("Next")));
    QTRY_COMPARE(m_pTabs->TabText(0), QStringLiteral("Next"));
    QTRY_VERIFY(IsEnabled(*m_pView, ID_BACK));
    QVERIFY(!IsEnabled(*m_pView, ID_FORWARD));

    QVERIFY(m_pView->OnCommand(ID_BACK));
    QTRY_COMPARE(m_pTabs->TabText(0), QStringLiteral("A"));
    QTRY_VERIFY(IsEnabled(*m_pView, ID_FORWARD));
    QVERIFY(!IsEnabled(*m_pView, ID_BACK));

    QVERIFY(m_pView->OnCommand(ID_FORWARD));
    QTRY_COMPARE(m_pTabs->TabText(0), QStringLiteral("Next"));
    QTRY_VERIFY(IsEnabled(*m_pView, ID_BACK));

    // A fresh tab has no history of its own.
    m_pView->OnCommand(ID_NEW_BLANK_PAGE);
    QTRY_COMPARE(m_pTabs->Count(), 2);
    QVERIFY(!IsEnabled(*m_pView, ID_BACK));
    m_pTabs->TabRow()->setCurrentIndex(0);
    QVERIFY(IsEnabled(*m_pView, ID_BACK));
}

void BrowserViewTest::commandsWithoutTabDoNothing()
{
    for (int nId : {ID_BACK, ID_FORWARD}) {
        QVERIFY(!IsEnabled(*m_pView, nId));
    }
    for (int nId : {ID_STOP, ID_REFRESH, ID_NEW_BLANK_PAGE}) {
        QVERIFY(IsEnabled(*m_pView, nId));
    }
    QVERIFY(!IsEnabled(*m_pView, ID_FILE_PRINT));
    QVERIFY(!IsEnabled(*m_pView, ID_FILE_PRINT_PREVIEW));
    for (int nId : {ID_BACK, ID_FORWARD, ID_STOP, ID_REFRESH, ID_TEXT_LARGER, ID_TAB_CLOSE, ID_TAB_SAVE_AS,
                    ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW}) {
        QVERIFY(m_pView->OnCommand(nId));
    }
    QCOMPARE(m_pTabs->Count(), 0);
    m_pView->AddCurrentPageToFavorites();
    QVERIFY(m_host.m_favorites.isEmpty());

    bool bEnabled = true;
    bool bChecked = true;
    QVERIFY(!m_pView->UpdateCommand(32771, bEnabled, bChecked));
    QVERIFY(!m_pView->OnCommand(32771));
}

void BrowserViewTest::savedPageLoadsOwnImagesButCannotReadOtherFiles()
{
    // A saved page with its picture in its own folder, and someone else's file beside the project.
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QDir().mkpath(Path(QStringLiteral("project/page.files")));
    QVERIFY(picture.save(Path(QStringLiteral("project/page.files/pic.png"))));
    WriteFile(Path(QStringLiteral("private/secret.txt")), "SECRET");
    const QByteArray secretUrl = QUrl::fromLocalFile(Path(QStringLiteral("private/secret.txt"))).toEncoded();

    const QByteArray script = R"(
<img id="pic" src="page.files/pic.png">
<iframe id="frame" src="SECRET"></iframe>
<script>
var results = {};
function report(name, value) {
  results[name] = value;
  if (Object.keys(results).length === 5) {
    document.title = ['fetch', 'xhr', 'frame', 'window', 'img'].map(k => k + ':' + results[k]).join(' ');
  }
}
fetch('SECRET').then(r => r.text()).then(t => report('fetch', t), () => report('fetch', 'blocked'));
var xhr = new XMLHttpRequest();
xhr.onload = () => report('xhr', xhr.responseText);
xhr.onerror = () => report('xhr', 'blocked');
try { xhr.open('GET', 'SECRET'); xhr.send(); } catch (e) { report('xhr', 'blocked'); }
var popup = window.open('SECRET');
function readPopup(tries) {
  var text = '';
  try { text = popup.document.body.textContent; } catch (e) { report('window', 'blocked'); return; }
  if (text || tries === 0) { report('window', text || 'blocked'); } else { setTimeout(() => readPopup(tries - 1), 100); }
}
readPopup(30);
window.addEventListener('load', () => {
  var text = 'blocked';
  try { text = document.getElementById('frame').contentDocument.body.textContent || 'blocked'; } catch (e) {}
  report('frame', text);
  report('img', document.getElementById('pic').naturalWidth);
});
</script>)";
    const QString strPage = Path(QStringLiteral("project/page.htm"));
    WriteFile(strPage, Html(QStringLiteral("loading"), QByteArray(script).replace("SECRET", secretUrl)));

    m_pView->ShowUrl(strPage);
    QTRY_VERIFY(m_pTabs->Count() >= 1);
    // The page gives the window it opened three seconds to show the file before it reports.
    QTRY_COMPARE_WITH_TIMEOUT(m_pTabs->BrowserAt(0)->title(),
                              QStringLiteral("fetch:blocked xhr:blocked frame:blocked window:blocked img:40"), 30000);
}

void BrowserViewTest::saveAsWritesPage()
{
    OpenTabs({QStringLiteral("Keep me")});
    QSignalSpy saved(m_pView->Profile(), &CBrowserProfile::pageSaved);
    const QString strTarget = Path(QStringLiteral("saved/copy.htm"));
    QDir().mkpath(Path(QStringLiteral("saved")));

    QVERIFY(m_pTabs->SaveTabAs(0, strTarget));
    QTRY_COMPARE(saved.count(), 1);
    QCOMPARE(saved[0][0].toString(), strTarget);
    QVERIFY(saved[0][1].toBool());
    QFile file(strTarget);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("Keep me"));

    QVERIFY(!m_pTabs->SaveTabAs(5, strTarget));
}

// The tab menu's 另存为: the chooser offers the page's title as the name, in the documents folder (home
// when there is none), never in whatever folder the program was started from.
void BrowserViewTest::saveAsDialogOffersThePageTitleInTheDocumentsFolder()
{
    OpenTabs({QStringLiteral("Keep me")});
    const QString strDocuments = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString strExpected = QDir(QDir(strDocuments).exists() ? strDocuments : QDir::homePath()).absolutePath();
    QVERIFY(QDir::currentPath() != strExpected);
    QString strFolder;
    QString strName;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (auto* pDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            strFolder = pDialog->directory().absolutePath();
            strName = QFileInfo(pDialog->selectedFiles().value(0)).fileName();
            pDialog->reject();
        }
    });
    watcher.start(50);
    m_pTabs->SetMenuPoint(m_pTabs->TabRow()->tabRect(0).center());
    QVERIFY(m_pTabs->OnMenuCommand(ID_TAB_SAVE_AS));
    watcher.stop();
    QCOMPARE(strFolder, strExpected);
    QCOMPARE(strName, QStringLiteral("Keep me.htm"));
}

void BrowserViewTest::favoritesGetAddressAndShortTitle()
{
    OpenTabs({QStringLiteral("A"), QStringLiteral("A very long page title")});
    m_pView->AddCurrentPageToFavorites();
    QCOMPARE(m_host.m_favorites,
             QStringList{Path(QStringLiteral("A very long page title.htm")) + QStringLiteral("|A very long ...")});
}

void BrowserViewTest::printPreviewShowsPageOnPaper()
{
    QByteArray body;
    for (int i = 0; i < 200; ++i) {
        body += "<p>Line " + QByteArray::number(i) + " of a page long enough for more than one sheet.</p>";
    }
    m_pView->ShowUrl(MakePage(QStringLiteral("long.htm"), QStringLiteral("Long"), body));
    QTRY_COMPARE(m_pTabs->Count(), 1);
    QTRY_COMPARE(m_pTabs->TabText(0), QStringLiteral("Long"));
    QTRY_COMPARE(m_pTabs->CurrentBrowser()->Progress(), 100);
    QVERIFY(IsEnabled(*m_pView, ID_FILE_PRINT_PREVIEW));

    // The preview is modal: look at it from a timer while it runs, then close it.
    int nPages = -1;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        auto* pDialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        auto* pPreview = pDialog ? pDialog->findChild<QPrintPreviewWidget*>() : nullptr;
        if (pPreview && pPreview->pageCount() > 0) {
            nPages = pPreview->pageCount();
            pDialog->grab().save(QStringLiteral("/tmp/trawlix-browser-preview.png"));
            pDialog->reject();
        }
    });
    watcher.start(50);
    QVERIFY(m_pView->OnCommand(ID_FILE_PRINT_PREVIEW));
    QTRY_VERIFY_WITH_TIMEOUT(nPages >= 2, 30000);
}

void BrowserViewTest::viewClosesWhileRequestPending()
{
    // A page still loading when the frame goes away, and requests still on their way to the
    // user-interface thread: the view closes at once and no longer calls the frame.
    TestHttpServer server;
    TestHttpResponse slow = TestHttpResponse::Html("<html><title>Slow</title></html>");
    slow.nStallAfter = 0;
    server.Route("/slow.html", slow);
    m_pView->ShowUrl(toQ(server.Url("/slow.html")));
    QTRY_COMPARE(m_pTabs->Count(), 1);
    QTRY_COMPARE(server.RequestCount("/slow.html"), 1);
    for (int i = 0; i < 20; ++i) {
        m_pView->OpenInNewTab(QStringLiteral("about:blank"));
    }
    m_host.m_bGone = true;
    m_pView.reset();
    QCoreApplication::processEvents();
    QCOMPARE(m_host.m_nCallsWhenGone, 0);
}

QTEST_MAIN(BrowserViewTest)
#include "BrowserViewTest.moc"
