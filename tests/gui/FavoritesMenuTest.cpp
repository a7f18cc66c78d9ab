#include "favorites/FavoritesMenu.h"

#include <memory>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "FavoritesTestSupport.h"
#include "OrderRecordBytes.h"
#include "app/MainFrame.h"
#include "common/AppInfo.h"
#include "common/CommandIds.h"
#include "common/Text.h"
#include "favorites/MenuItemData.h"
#include "favorites/MenuOrder.h"
#include "favorites/OrderRecordStore.h"

using orderbytes::entry;
using orderbytes::record;

// Receives the addresses the desktop is asked to open.
class CUrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class FavoritesMenuTest : public QObject, protected FavoritesTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menuFollowsTheOrderRecord_data();
    void menuFollowsTheOrderRecord();
    void longNamesAreShortened();
    void subFoldersAreNumberedWhenFirstShown();
    void numbersAbove24576OpenNothing();
    void favoritesOpenTheirTargets();
    void shortcutWithoutAddressSaysSo();
    void damagedOrderRecordsShowTheFolderSorted();
    void folderThatCannotBeMadeIsReported();
    void frameHasTheFavoritesMenuFourth();

private:
    void writeUrl(const QString& strRelPath, const QString& strUrl);
    QAction* item(QMenu* menu, const QString& strText) const;
};

void FavoritesMenuTest::initTestCase()
{
    useOwnSettings();
}

void FavoritesMenuTest::init()
{
    setUpMenu();
}

void FavoritesMenuTest::cleanup()
{
    tearDownMenu();
}

void FavoritesMenuTest::writeUrl(const QString& strRelPath, const QString& strUrl)
{
    const QString strPath = m_strRoot + QLatin1Char('/') + strRelPath;
    QVERIFY(QDir().mkpath(QFileInfo(strPath).path()));
    QFile file(strPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[InternetShortcut]\r\nURL=" + strUrl.toUtf8() + "\r\n");
}

QAction* FavoritesMenuTest::item(QMenu* menu, const QString& strText) const
{
    for (QAction* action : menu->actions()) {
        if (action->text() == strText) {
            return action;
        }
    }
    return nullptr;
}

void FavoritesMenuTest::menuFollowsTheOrderRecord_data()
{
    QTest::addColumn<QByteArray>("order");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("no order record: folders first, favorites without regard to case")
        << QByteArray() << QStringList{QStringLiteral("[Sub]"), QStringLiteral("a"), QStringLiteral("B")};
    QTest::newRow("an order record") << QByteArray::fromStdString(record(
                                            {entry(0, 0x20, "B.url"), entry(1, 0x10, "Sub"), entry(2, 0x20, "a.url")}))
                                     << QStringList{QStringLiteral("B"), QStringLiteral("[Sub]"), QStringLiteral("a")};
    QTest::newRow("attribute 0x21 matches nothing")
        << QByteArray::fromStdString(record({entry(0, 0x21, "B.url"), entry(1, 0x20, "a.url")}))
        << QStringList{QStringLiteral("a"), QStringLiteral("[Sub]"), QStringLiteral("B")};
    QTest::newRow("a gap refers to entry 0 again, added once")
        << QByteArray::fromStdString(record({entry(0, 0x20, "B.url"), entry(2, 0x20, "a.url"), entry(9, 0x10, "Sub")}))
        << QStringList{QStringLiteral("B"), QStringLiteral("a"), QStringLiteral("[Sub]")};
    QTest::newRow("wide names") << QByteArray::fromStdString(
                                       record({entry(0, 0x10, "Sub", true), entry(1, 0x20, "a.url", true)}))
                                << QStringList{QStringLiteral("[Sub]"), QStringLiteral("a"), QStringLiteral("B")};
}

void FavoritesMenuTest::menuFollowsTheOrderRecord()
{
    QFETCH(QByteArray, order);
    QFETCH(QStringList, texts);
    writeUrl(QStringLiteral("a.url"), QStringLiteral("http://a.example/"));
    writeUrl(QStringLiteral("B.url"), QStringLiteral("http://b.example/"));
    writeUrl(QStringLiteral("Sub/c.url"), QStringLiteral("http://c.example/"));
    if (!order.isEmpty()) {
        COrderRecordStore::Write(QString(), order);
    }
    m_pFavorites->BuildFavoritesMenu();
    QCOMPARE(menuTexts(m_pMenu.get(), CFavoritesMenu::kFixedItems), texts);

    // The fixed items stay, a rebuild gives the same menu, and the numbers start at 0 again.
    m_pFavorites->BuildFavoritesMenu();
    QCOMPARE(menuTexts(m_pMenu.get(), CFavoritesMenu::kFixedItems), texts);
    QCOMPARE(m_pMenu->actions().size(), CFavoritesMenu::kFixedItems + 3);
    QCOMPARE(m_pFavorites->NextFavId(), 2);
    QAction* sub = item(m_pMenu.get(), QStringLiteral("Sub"));
    QVERIFY(sub != nullptr && sub->menu() != nullptr);
    QCOMPARE(sub->icon().cacheKey(), sub->icon().cacheKey());
    QVERIFY(!sub->icon().isNull());
    QAction* a = item(m_pMenu.get(), QStringLiteral("a"));
    QVERIFY(a != nullptr && !a->icon().isNull() && a->isIconVisibleInMenu());
    QList<int> ids{a->data().toInt(), item(m_pMenu.get(), QStringLiteral("B"))->data().toInt()};
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, (QList<int>{4992, 4993}));
    QCOMPARE(m_pFavorites->RecordOf(a)->m_strTarget, QStringLiteral("http://a.example/"));
    QCOMPARE(m_pFavorites->RecordOf(a)->m_nImage, 1);
    QCOMPARE(m_pFavorites->RecordOf(sub)->m_nImage, 0);
}

void FavoritesMenuTest::longNamesAreShortened()
{
    // 30 bytes before ".url".
    writeUrl(QStringLiteral("abcdefghijklmnopqrstuvwxyz1234.url"), QStringLiteral("http://long.example/"));
    writeUrl(QStringLiteral("R&D 周报.url"), QStringLiteral("http://rd.example/"));
    m_pFavorites->BuildFavoritesMenu();
    QCOMPARE(menuTexts(m_pMenu.get(), CFavoritesMenu::kFixedItems),
             (QStringList{QStringLiteral("abcdefghijklmnopqrstuvw..."), QStringLiteral("R&&D 周报")}));
}

void FavoritesMenuTest::subFoldersAreNumberedWhenFirstShown()
{
    writeUrl(QStringLiteral("a.url"), QStringLiteral("http://a/"));
    writeUrl(QStringLiteral("b.url"), QStringLiteral("http://b/"));
    writeUrl(QStringLiteral("Sub/x.url"), QStringLiteral("http://x/"));
    writeUrl(QStringLiteral("Sub/y.url"), QStringLiteral("http://y/"));
    writeUrl(QStringLiteral("Sub/Deeper/z1.url"), QStringLiteral("http://z1/"));
    writeUrl(QStringLiteral("Other/z.url"), QStringLiteral("http://z/"));
    QVERIFY(QDir().mkpath(m_strRoot + QStringLiteral("/Empty")));
    m_pFavorites->BuildFavoritesMenu();
    QCOMPARE(m_pFavorites->NextFavId(), 2);

    QMenu* other = item(m_pMenu.get(), QStringLiteral("Other"))->menu();
    QMenu* sub = item(m_pMenu.get(), QStringLiteral("Sub"))->menu();
    // Unread: only the disabled placeholder.
    QCOMPARE(sub->actions().size(), 1);
    QVERIFY(!sub->actions().constFirst()->isEnabled());

    const auto show = [](QMenu* menu) {
        menu->popup(QPoint(20, 20));
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
    };
    show(other);
    QCOMPARE(menuTexts(other), QStringList{QStringLiteral("z")});
    QCOMPARE(other->actions().constFirst()->data().toInt(), 4994);
    show(sub);
    QCOMPARE(menuTexts(sub), (QStringList{QStringLiteral("[Deeper]"), QStringLiteral("x"), QStringLiteral("y")}));
    QList<int> ids{item(sub, QStringLiteral("x"))->data().toInt(), item(sub, QStringLiteral("y"))->data().toInt()};
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, (QList<int>{4995, 4996}));
    QCOMPARE(m_pFavorites->NextFavId(), 5);

    // Shown again: not read again.
    show(sub);
    QCOMPARE(sub->actions().size(), 3);
    QCOMPARE(m_pFavorites->NextFavId(), 5);
    show(item(m_pMenu.get(), QStringLiteral("Empty"))->menu());
    QCOMPARE(menuTexts(item(m_pMenu.get(), QStringLiteral("Empty"))->menu()), QStringList{QStringLiteral("(空)")});

    // Each record belongs to one item: the rebuild frees them all and starts over.
    m_pFavorites->BuildFavoritesMenu();
    QCOMPARE(m_pFavorites->NextFavId(), 2);
    QCOMPARE(m_pFavorites->RecordCount(), 2 + 3 * 2);
}

void FavoritesMenuTest::numbersAbove24576OpenNothing()
{
    writeUrl(QStringLiteral("Many/1.url"), QStringLiteral("http://one/"));
    writeUrl(QStringLiteral("Many/2.url"), QStringLiteral("http://two/"));
    QSignalSpy opened(m_pFavorites.get(), &CFavoritesMenu::navigateRequested);
    QMenu menu;
    QCOMPARE(m_pFavorites->FillFavoritesMenu(m_strRoot + QStringLiteral("/Many"), 24576 - 4992, &menu),
             24576 - 4992 + 2);
    m_pMenu->addMenu(&menu);
    QList<int> ids{menu.actions().at(0)->data().toInt(), menu.actions().at(1)->data().toInt()};
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, (QList<int>{24576, 24577}));
    m_pFavorites->OpenFavorite(24576);
    m_pFavorites->OpenFavorite(24577);
    QCOMPARE(opened.size(), 1);
}

void FavoritesMenuTest::favoritesOpenTheirTargets()
{
    writeUrl(QStringLiteral("site.url"), QStringLiteral("http://127.0.0.1:9/页"));
    const QString strStarted = m_pTemp->filePath(QStringLiteral("started"));
    const auto writeFile = [this](const QString& strName, const QByteArray& text) {
        QFile file(m_strRoot + QLatin1Char('/') + strName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    writeFile(QStringLiteral("program.DESKTOP"),
              "[Desktop Entry]\nType=Application\nName=P\nExec=/usr/bin/touch \"" + strStarted.toUtf8() + "\" %U\n");
    writeFile(QStringLiteral("link.desktop"), "[Desktop Entry]\nType=Link\nURL=trawlixtest://target/x\n");
    writeFile(QStringLiteral("broken.desktop"), "[Desktop Entry]\nType=Application\n");
    CUrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("trawlixtest"), &catcher, "open");
    m_pFavorites->BuildFavoritesMenu();
    QSignalSpy opened(m_pFavorites.get(), &CFavoritesMenu::navigateRequested);

    item(m_pMenu.get(), QStringLiteral("site"))->trigger();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.at(0).at(0).toString(), QStringLiteral("http://127.0.0.1:9/页"));

    item(m_pMenu.get(), QStringLiteral("program"))->trigger();
    QTRY_VERIFY(QFileInfo::exists(strStarted));
    item(m_pMenu.get(), QStringLiteral("link"))->trigger();
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("trawlixtest://target/x"))});
    QCOMPARE(opened.size(), 1);

    item(m_pMenu.get(), QStringLiteral("broken"))->trigger();
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.at(1).at(0).toString(), QStringLiteral("about:blank"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("trawlixtest"));
}

void FavoritesMenuTest::shortcutWithoutAddressSaysSo()
{
    writeUrl(QStringLiteral("good.url"), QStringLiteral("http://good/"));
    QFile empty(m_strRoot + QStringLiteral("/empty.url"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.write("[InternetShortcut]\r\nIconIndex=0\r\n");
    empty.close();
    m_pFavorites->BuildFavoritesMenu();
    QSignalSpy opened(m_pFavorites.get(), &CFavoritesMenu::navigateRequested);
    item(m_pMenu.get(), QStringLiteral("good"))->trigger();
    // Not the favorite opened before: the user is told this one has no address.
    item(m_pMenu.get(), QStringLiteral("empty"))->trigger();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(m_answers.asked, QStringList{QStringLiteral("收藏“empty”里没有网址。")});
}

void FavoritesMenuTest::damagedOrderRecordsShowTheFolderSorted()
{
    writeUrl(QStringLiteral("b.url"), QStringLiteral("http://b/"));
    writeUrl(QStringLiteral("a.url"), QStringLiteral("http://a/"));
    const QStringList sorted{QStringLiteral("a"), QStringLiteral("b")};
    const QList<std::pair<QByteArray, QStringList>> damaged{
        {QByteArray("short"), sorted},
        // The entry's size runs past the value: it ends with the value and still names b.url; the count's
        // empty entries all claim position 0, so the other positions refer to entry 0.
        {QByteArray::fromStdString(record(0xFFFFFFFFu, {entry(0, 0x20, "b.url", false, 0x7FFFFFFF)})),
         {QStringLiteral("b"), QStringLiteral("a")}},
        // The entry ends inside its wide name: no name.
        {QByteArray::fromStdString(record({entry(0, 0x20, "b.url", true, 27)})), sorted},
    };
    for (const auto& [bytes, texts] : damaged) {
        COrderRecordStore::Write(QString(), bytes);
        m_pFavorites->BuildFavoritesMenu();
        QCOMPARE(menuTexts(m_pMenu.get(), CFavoritesMenu::kFixedItems), texts);
    }
    // A value that is text, not raw bytes, is no record.
    QSettings settings(appinfo::organization(), appinfo::application());
    settings.setValue(toQ(CMenuOrder::KeyPath("")) + QStringLiteral("Order"), QStringLiteral("b.url"));
    settings.sync();
    QVERIFY(COrderRecordStore::Read(QString()).isEmpty());
}

void FavoritesMenuTest::folderThatCannotBeMadeIsReported()
{
    QFile blocker(m_pTemp->filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CFavoritesMenu favorites(m_pMenu.get(), blocker.fileName() + QStringLiteral("/Favorites"), m_prompts, nullptr);
    favorites.BuildFavoritesMenu();
    QCOMPARE(m_answers.asked, QStringList{QStringLiteral("Can't get path of favorite.")});
    QCOMPARE(m_pMenu->actions().size(), CFavoritesMenu::kFixedItems);
}

void FavoritesMenuTest::frameHasTheFavoritesMenuFourth()
{
    QStandardPaths::setTestModeEnabled(true);
    const QString strRoot =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/Favorites");
    QDir(strRoot).removeRecursively();
    CMainFrame frame;
    // Made on first use, empty.
    QVERIFY(QFileInfo(strRoot).isDir());
    const QList<QAction*> menus = frame.menuBar()->actions();
    QVERIFY(menus.size() >= 4);
    QMenu* favoritesMenu = menus.at(3)->menu();
    QCOMPARE(favoritesMenu->title(), QStringLiteral("收藏夹(&A)"));
    QCOMPARE(menuTexts(favoritesMenu), (QStringList{QStringLiteral("添加到收藏夹.."), QStringLiteral("整理收藏夹"),
                                                    QStringLiteral("[导入/导出]"), QString()}));
    QCOMPARE(menuTexts(favoritesMenu->actions().at(2)->menu()),
             (QStringList{QStringLiteral("导入收藏夹..."), QStringLiteral("导出收藏夹...")}));

    // A favorite chosen from the frame's menu reaches the frame's command and the browser's address.
    QFile file(strRoot + QStringLiteral("/本地.url"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[InternetShortcut]\nURL=about:blank\n");
    file.close();
    frame.findChild<CFavoritesMenu*>()->BuildFavoritesMenu();
    QCOMPARE(menuTexts(favoritesMenu, CFavoritesMenu::kFixedItems), QStringList{QStringLiteral("本地")});
    frame.OnCommand(4992);
    QTRY_COMPARE(frame.GetAddressText(), QStringLiteral("about:blank"));
    QDir(strRoot).removeRecursively();
}

QTEST_MAIN(FavoritesMenuTest)
#include "FavoritesMenuTest.moc"
