#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTest>
#include <QTreeWidgetItem>
#include <QWebEnginePage>

#include "TempFolder.h"
#include "WebPageTestSupport.h"
#include "app/MainFrame.h"
#include "browser/BrowserTabCtrl.h"
#include "browser/MyWB.h"
#include "browser/TrawlixView.h"
#include "chm/ChmBook.h"
#include "chm/ChmContentsPanel.h"
#include "chm/ChmSchemeHandler.h"
#include "common/CommandIds.h"
#include "common/Text.h"
#include "project/TrawlixDoc.h"

// Books that other tools made, opened in the program's reader: their contents, pages, pictures and
// links, what their scripts cannot reach, damaged books, and the program's own help.
class ChmReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensABookWithFoldersAndChineseNames();
    void scriptsInABookReachNothingOutsideIt();
    void damagedBooksNeverCrash_data();
    void damagedBooksNeverCrash();
    void helpOpensFromTheMenuAndF1();

private:
    // Compiles the fixture book with chmcmd into the temp folder; returns its path.
    QString makeBook(const QString& strName);
    CMyWB* openBook(const QString& strPath);

    std::unique_ptr<TempFolder> m_pTemp;
    std::unique_ptr<CMainFrame> m_pFrame;
    QStringList m_messages;
};

namespace
{
void Write(const QString& strPath, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile file(strPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

// Asks for url by a synchronous request from the page's own script: the text read, or "blocked".
QString ReadFromPage(QWebEnginePage* page, const QString& strUrl)
{
    return RunScript(page, QStringLiteral("(function(){try{var x=new XMLHttpRequest();x.open('GET','%1',false);"
                                          "x.send();return x.status==200?x.responseText:'blocked';}"
                                          "catch(e){return 'blocked';}})()")
                               .arg(strUrl))
        .toString();
}
} // namespace

void ChmReaderTest::initTestCase()
{
    // The help command looks for trawlix.chm beside the running program: this test stands in for it.
    const QString strBuilt = QFileInfo(QStringLiteral(TRAWLIX_GUI_PATH)).dir().filePath(QStringLiteral("trawlix.chm"));
    const QString strHere = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("trawlix.chm"));
    QVERIFY2(QFileInfo::exists(strBuilt), "the build makes the help file beside the program");
    QFile::remove(strHere);
    QVERIFY(QFile::copy(strBuilt, strHere));
}

void ChmReaderTest::init()
{
    m_pTemp = std::make_unique<TempFolder>();
    m_messages.clear();
    m_pFrame = std::make_unique<CMainFrame>();
    CUserPrompts prompts = m_pFrame->Prompts();
    prompts.messageBox = [this](QWidget*, QMessageBox::Icon, const QString&, const QString& strText,
                                QMessageBox::StandardButtons) {
        m_messages.append(strText);
        return QMessageBox::Ok;
    };
    m_pFrame->SetPrompts(prompts);
    m_pFrame->resize(1000, 700);
    m_pFrame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pFrame.get()));
}

void ChmReaderTest::cleanup()
{
    if (m_pFrame) {
        m_pFrame->Document()->SetModifiedFlag(false);
    }
    m_pFrame.reset();
    m_pTemp.reset();
}

QString ChmReaderTest::makeBook(const QString& strName)
{
    const QString strSource = toQ(m_pTemp->file("source-" + fromQ(strName)));
    Write(strSource + QStringLiteral("/章节/第一章.html"),
          "<html><head><meta charset=\"utf-8\"><title>第一章</title></head><body>"
          "<img id=\"pic\" src=\"../图片/图一.png\"><a id=\"next\" href=\"第二节/小节.html#末尾\">下一节</a>"
          "</body></html>");
    Write(strSource + QStringLiteral("/章节/第二节/小节.html"),
          "<html><head><meta charset=\"utf-8\"><title>小节</title></head><body><p>内容</p>"
          "<p id=\"末尾\">末尾</p></body></html>");
    Write(strSource + QStringLiteral("/图片/图一.png"), PngBytes(31, 10, Qt::blue));
    Write(strSource + QStringLiteral("/目录.hhc"),
          "<HTML><BODY><UL>\n"
          "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"书\"></OBJECT>\n<UL>\n"
          "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"第一章\">"
          "<param name=\"Local\" value=\"章节/第一章.html\"></OBJECT>\n"
          "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"小节\">"
          "<param name=\"Local\" value=\"章节/第二节/小节.html\"></OBJECT>\n"
          "</UL></UL></BODY></HTML>\n");
    Write(strSource + QStringLiteral("/book.hhp"),
          "[OPTIONS]\nCompiled file=" + strName.toUtf8() +
              ".chm\nContents file=目录.hhc\nDefault topic=章节/第一章.html\nTitle=测试书\n\n[FILES]\n"
              "章节/第一章.html\n章节/第二节/小节.html\n图片/图一.png\n");
    QProcess chmcmd;
    chmcmd.setWorkingDirectory(strSource);
    chmcmd.start(QStringLiteral("chmcmd"), {QStringLiteral("book.hhp")});
    if (!chmcmd.waitForFinished(60000) || chmcmd.exitCode() != 0) {
        qWarning() << chmcmd.readAll();
        return {};
    }
    return QDir(strSource).filePath(strName + QStringLiteral(".chm"));
}

CMyWB* ChmReaderTest::openBook(const QString& strPath)
{
    if (!m_pFrame->OpenProjectFile(strPath)) {
        return nullptr;
    }
    return m_pFrame->findChild<CTrawlixView*>()->TabCtrl()->CurrentBrowser();
}

void ChmReaderTest::opensABookWithFoldersAndChineseNames()
{
    const QString strBook = makeBook(QStringLiteral("中文书"));
    QVERIFY(!strBook.isEmpty());
    // Opened like a project file: a new tab, the book's contents at its left, its first page showing.
    CMyWB* browser = openBook(strBook);
    QVERIFY(browser);
    QVERIFY(m_messages.isEmpty());
    CBrowserTabCtrl* tabs = m_pFrame->findChild<CTrawlixView*>()->TabCtrl();
    auto* contents = qobject_cast<CChmContentsPanel*>(tabs->SidePanelOf(browser));
    QVERIFY(contents);
    QTreeWidgetItem* book = contents->topLevelItem(0);
    QCOMPARE(book->text(0), QStringLiteral("书"));
    QCOMPARE(book->childCount(), 2);
    QCOMPARE(book->child(1)->text(0), QStringLiteral("小节"));
    QTRY_COMPARE_WITH_TIMEOUT(browser->title(), QStringLiteral("第一章"), 10000);
    QCOMPARE(browser->url().path(), QStringLiteral("/章节/第一章.html"));
    QTRY_COMPARE_WITH_TIMEOUT(
        RunScript(browser->page(), QStringLiteral("document.getElementById('pic').naturalWidth")).toInt(), 31, 10000);
    QTRY_COMPARE(contents->currentItem(), book->child(0));

    // A relative link into a sub-folder, with a fragment, and the contents follow.
    RunScript(browser->page(), QStringLiteral("document.getElementById('next').click()"));
    QTRY_COMPARE_WITH_TIMEOUT(browser->title(), QStringLiteral("小节"), 10000);
    QCOMPARE(browser->url().path(), QStringLiteral("/章节/第二节/小节.html"));
    QCOMPARE(browser->url().fragment(), QStringLiteral("末尾"));
    QTRY_COMPARE(contents->currentItem(), book->child(1));

    // A second book gets its own tab; the first keeps its contents.
    CMyWB* second = openBook(makeBook(QStringLiteral("second")));
    QVERIFY(second);
    QCOMPARE(tabs->Count(), 2);
    QVERIFY(tabs->SidePanelOf(second) != contents);
    QVERIFY(!contents->isVisible());
    tabs->CloseTab(1);
    QTRY_VERIFY(contents->isVisible());
}

void ChmReaderTest::scriptsInABookReachNothingOutsideIt()
{
    const QString strOther = makeBook(QStringLiteral("other"));
    CMyWB* other = openBook(strOther);
    QVERIFY(other);
    QTRY_COMPARE_WITH_TIMEOUT(other->title(), QStringLiteral("第一章"), 10000);
    const QUrl otherPage = other->url();

    const QString strSecret = toQ(m_pTemp->file("secret.txt"));
    Write(strSecret, "secret");
    CMyWB* browser = openBook(makeBook(QStringLiteral("book")));
    QVERIFY(browser);
    QTRY_COMPARE_WITH_TIMEOUT(browser->title(), QStringLiteral("第一章"), 10000);
    QVERIFY(browser->url().host() != otherPage.host());
    QCOMPARE(ReadFromPage(browser->page(), QUrl::fromLocalFile(strSecret).toString()), QStringLiteral("blocked"));
    QCOMPARE(ReadFromPage(browser->page(), otherPage.toString(QUrl::FullyEncoded)), QStringLiteral("blocked"));
    // Nor does a picture of the disk or of another book load into a book's page.
    const QString strProbe = QStringLiteral(
        "(function(){var i=document.createElement('img');i.id='probe';i.src='%1';document.body.appendChild(i);"
        "return 1;})()");
    const QString strPicture = toQ(m_pTemp->file("disk.png"));
    Write(strPicture, PngBytes(17, 10, Qt::blue));
    RunScript(browser->page(), strProbe.arg(QUrl::fromLocalFile(strPicture).toString()));
    QTest::qWait(500);
    QCOMPARE(RunScript(browser->page(), QStringLiteral("document.getElementById('probe').naturalWidth")).toInt(), 0);
}

void ChmReaderTest::damagedBooksNeverCrash_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("not a book") << QStringLiteral("noise");
    QTest::newRow("empty") << QStringLiteral("empty");
    QTest::newRow("signature only") << QStringLiteral("signature");
    QTest::newRow("cut in half") << QStringLiteral("half");
    QTest::newRow("cut after its headers") << QStringLiteral("headers");
    QTest::newRow("middle overwritten") << QStringLiteral("scribbled");
    QTest::newRow("a folder") << QStringLiteral("folder");
    QTest::newRow("missing") << QStringLiteral("missing");
}

void ChmReaderTest::damagedBooksNeverCrash()
{
    QFETCH(QString, damage);
    const QString strGood = makeBook(QStringLiteral("good"));
    QFile good(strGood);
    QVERIFY(good.open(QIODevice::ReadOnly));
    QByteArray bytes = good.readAll();
    const QString strBad = toQ(m_pTemp->file("bad.chm"));
    if (damage == QLatin1String("noise")) {
        bytes = QByteArray(5000, '\x5a');
    } else if (damage == QLatin1String("empty")) {
        bytes.clear();
    } else if (damage == QLatin1String("signature")) {
        bytes = bytes.left(4);
    } else if (damage == QLatin1String("half")) {
        bytes.truncate(bytes.size() / 2);
    } else if (damage == QLatin1String("headers")) {
        bytes.truncate(0x60);
    } else if (damage == QLatin1String("scribbled")) {
        for (qsizetype i = bytes.size() / 4; i < bytes.size() * 3 / 4; i += 7) {
            bytes[i] = static_cast<char>(bytes[i] ^ 0xA5);
        }
    }
    if (damage == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(strBad));
    } else if (damage != QLatin1String("missing")) {
        Write(strBad, bytes);
    }
    CMyWB* browser = openBook(strBad);
    if (!browser) {
        // Refused with a reason.
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.at(0).startsWith(QStringLiteral("无法打开CHM文件")));
        QCOMPARE(m_pFrame->findChild<CTrawlixView*>()->TabCtrl()->Count(), 0);
        return;
    }
    // Opened: whatever of it can be read shows, the rest is simply not found.
    QTest::qWait(1000);
    QVERIFY(m_pFrame->findChild<CTrawlixView*>()->TabCtrl()->Count() == 1);
}

void ChmReaderTest::helpOpensFromTheMenuAndF1()
{
    m_pFrame->OnCommand(cmd::ID_HELP_TOPICS);
    CBrowserTabCtrl* tabs = m_pFrame->findChild<CTrawlixView*>()->TabCtrl();
    QCOMPARE(tabs->Count(), 1);
    QVERIFY(m_messages.isEmpty());
    CMyWB* browser = tabs->CurrentBrowser();
    QTRY_COMPARE_WITH_TIMEOUT(browser->title(), QStringLiteral("欢迎使用 Trawlix"), 10000);
    auto* contents = qobject_cast<CChmContentsPanel*>(tabs->SidePanelOf(browser));
    QVERIFY(contents);
    QStringList names;
    for (QTreeWidgetItemIterator it(contents); *it; ++it) {
        names.append((*it)->text(0));
    }
    for (const char* name : {"新建工程向导", "编号网页的规则", "链接范围", "工程窗口和书签", "制作和阅读电子书",
                             "收藏夹", "命令行工具 trawlix-cli"}) {
        QVERIFY2(names.contains(QString::fromUtf8(name)), name);
    }
    // Its picture and style sheet come from inside the book.
    QTRY_COMPARE_WITH_TIMEOUT(
        RunScript(browser->page(), QStringLiteral("document.images.length ? document.images[0].naturalWidth : -1"))
            .toInt(),
        49, 10000);

    // F1 opens it again, in a tab of its own.
    m_pFrame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pFrame.get()));
    QTest::keyClick(m_pFrame.get(), Qt::Key_F1);
    QTRY_COMPARE(tabs->Count(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(tabs->CurrentBrowser()->title(), QStringLiteral("欢迎使用 Trawlix"), 10000);
}

int main(int argc, char** argv)
{
    CChmSchemeHandler::RegisterScheme();
    QApplication app(argc, argv);
    ChmReaderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ChmReaderTest.moc"
