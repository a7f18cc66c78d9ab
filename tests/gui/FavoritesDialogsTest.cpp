#include <memory>

#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "FavoritesTestSupport.h"
#include "common/AppInfo.h"
#include "common/Text.h"
#include "favorites/AddFavoriteDlg.h"
#include "favorites/BookmarkFile.h"
#include "favorites/ChooseFavoriteFolderDlg.h"
#include "favorites/FavoriteFiles.h"
#include "favorites/FavoriteFolderTree.h"
#include "favorites/FavoritesMenu.h"
#include "favorites/MenuOrder.h"
#include "favorites/OrderRecordStore.h"
#include "favorites/OrganizeFavoritesDlg.h"
#include "platform/Files.h"

class FavoritesDialogsTest : public QObject, protected FavoritesTestBase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void addWritesAShortcutWhereTheUserChose();
    void addAsksBeforeReplacing();
    void organizeChangesTheFolderAndTheMenuFollows();
    void importAndExportRoundTrip();

private:
    void writeUrl(const QString& strRelPath, const QString& strUrl);
    QString url(const QString& strRelPath) const;
    QStringList favoritesMenu() const;
};

void FavoritesDialogsTest::initTestCase()
{
    useOwnSettings();
}

void FavoritesDialogsTest::init()
{
    setUpMenu();
}

void FavoritesDialogsTest::cleanup()
{
    tearDownMenu();
}

void FavoritesDialogsTest::writeUrl(const QString& strRelPath, const QString& strUrl)
{
    const QString strPath = m_strRoot + QLatin1Char('/') + strRelPath;
    QVERIFY(QDir().mkpath(QFileInfo(strPath).path()));
    QVERIFY(favorites::WriteInternetShortcut(fromQ(strPath), fromQ(strUrl)));
}

QString FavoritesDialogsTest::url(const QString& strRelPath) const
{
    return toQ(favorites::ReadInternetShortcut(fromQ(m_strRoot + QLatin1Char('/') + strRelPath)));
}

QStringList FavoritesDialogsTest::favoritesMenu() const
{
    return menuTexts(m_pMenu.get(), CFavoritesMenu::kFixedItems);
}

void FavoritesDialogsTest::addWritesAShortcutWhereTheUserChose()
{
    QVERIFY(QDir().mkpath(m_strRoot + QStringLiteral("/新闻")));
    m_pFavorites->BuildFavoritesMenu();
    QString strPreset;
    m_answers.dialog = [&](QDialog& dialog) {
        auto* pAdd = qobject_cast<CAddFavoriteDlg*>(&dialog);
        if (pAdd == nullptr) {
            return int(QDialog::Rejected);
        }
        strPreset = pAdd->NameEdit()->text();
        // A new folder inside 新闻, made from the dialog.
        QTreeWidget* pTree = pAdd->Folders();
        for (QTreeWidgetItemIterator it(pTree); *it; ++it) {
            if ((*it)->text(0) == QStringLiteral("新闻")) {
                pTree->setCurrentItem(*it);
            }
        }
        m_answers.dialog = [](QDialog& input) {
            auto* pInput = qobject_cast<QInputDialog*>(&input);
            pInput->setTextValue(QStringLiteral("体育/足球"));
            return int(QDialog::Accepted);
        };
        pAdd->NewFolderButton()->click();
        // An empty name is refused; the dialog stays open.
        pAdd->NameEdit()->setText(QStringLiteral("  "));
        pAdd->accept();
        if (pAdd->result() == QDialog::Accepted) {
            return int(QDialog::Rejected);
        }
        pAdd->NameEdit()->setText(QStringLiteral("世界杯 / 赛程"));
        pAdd->accept();
        return pAdd->result();
    };
    m_pFavorites->AddFavorite(QStringLiteral("http://127.0.0.1:8/cup?a=1&b=2"), QStringLiteral(" 世界杯 "));
    QCOMPARE(strPreset, QStringLiteral("世界杯"));
    QCOMPARE(m_answers.asked, QStringList{QStringLiteral("名称不能为空。")});
    // "/" cannot be in a name: the folder is "体育_足球", the favorite "世界杯 _ 赛程".
    QCOMPARE(url(QStringLiteral("新闻/体育_足球/世界杯 _ 赛程.url")), QStringLiteral("http://127.0.0.1:8/cup?a=1&b=2"));
    // The menu was rebuilt.
    QCOMPARE(favoritesMenu(), QStringList{QStringLiteral("[新闻]")});

    // A page without a title is named after its address; cancelling writes nothing.
    m_answers.dialog = [&](QDialog& dialog) {
        strPreset = qobject_cast<CAddFavoriteDlg*>(&dialog)->NameEdit()->text();
        return int(QDialog::Rejected);
    };
    m_pFavorites->AddFavorite(QStringLiteral("about:blank"), QString());
    QCOMPARE(strPreset, QStringLiteral("about:blank"));
    QCOMPARE(QDir(m_strRoot).entryList(QDir::Files), QStringList());
}

void FavoritesDialogsTest::addAsksBeforeReplacing()
{
    writeUrl(QStringLiteral("首页.url"), QStringLiteral("http://old/"));
    m_answers.dialog = [](QDialog& dialog) {
        dialog.accept();
        return int(QDialog::Accepted);
    };
    m_answers.buttons = {QMessageBox::No};
    m_pFavorites->AddFavorite(QStringLiteral("http://new/"), QStringLiteral("首页"));
    QCOMPARE(url(QStringLiteral("首页.url")), QStringLiteral("http://old/"));
    m_answers.buttons = {QMessageBox::Yes};
    m_pFavorites->AddFavorite(QStringLiteral("http://new/"), QStringLiteral("首页"));
    QCOMPARE(url(QStringLiteral("首页.url")), QStringLiteral("http://new/"));
    // A page shown from disk comes as its path and is kept as a file address.
    m_answers.buttons = {QMessageBox::Yes};
    m_pFavorites->AddFavorite(QStringLiteral("/tmp/保存/a b.htm"), QStringLiteral("首页"));
    QCOMPARE(url(QStringLiteral("首页.url")), QStringLiteral("file:///tmp/保存/a b.htm"));
    QCOMPARE(m_answers.asked.size(), 3);
    QCOMPARE(m_answers.asked.at(0), QStringLiteral("收藏夹中已有“首页”。要替换它吗?"));
}

void FavoritesDialogsTest::organizeChangesTheFolderAndTheMenuFollows()
{
    writeUrl(QStringLiteral("a.url"), QStringLiteral("http://a/"));
    writeUrl(QStringLiteral("b.url"), QStringLiteral("http://b/"));
    writeUrl(QStringLiteral("c.url"), QStringLiteral("http://c/"));
    writeUrl(QStringLiteral("Sub/inner.url"), QStringLiteral("http://inner/"));
    COrganizeFavoritesDlg dialog(m_strRoot, m_prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTreeWidget* pTree = dialog.Tree();
    const auto top = [pTree] {
        QStringList texts;
        for (int i = 0; i < pTree->topLevelItemCount(); ++i) {
            texts.append(pTree->topLevelItem(i)->text(0));
        }
        return texts;
    };
    QCOMPARE(top(),
             (QStringList{QStringLiteral("Sub"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    const auto click = [&dialog](const char* name) {
        auto* pButton = dialog.findChild<QPushButton*>(QLatin1String(name));
        QVERIFY(pButton->isEnabled());
        QTest::mouseClick(pButton, Qt::LeftButton);
    };

    // c up twice: the order is recorded and the menu shows it.
    pTree->setCurrentItem(dialog.ItemOf(m_strRoot + QStringLiteral("/c.url")));
    click("upButton");
    click("upButton");
    QCOMPARE(top(),
             (QStringList{QStringLiteral("Sub"), QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("b")}));
    CMenuOrder order;
    QCOMPARE(order.ReadOrder(COrderRecordStore::Read(QString()).toStdString()), 1);
    QCOMPARE(order.Count(), 4u);
    m_pFavorites->BuildFavoritesMenu();
    QCOMPARE(favoritesMenu(),
             (QStringList{QStringLiteral("[Sub]"), QStringLiteral("c"), QStringLiteral("a"), QStringLiteral("b")}));

    // Rename b in place: the file follows and keeps its place in the order.
    QTreeWidgetItem* pB = dialog.ItemOf(m_strRoot + QStringLiteral("/b.url"));
    pTree->setCurrentItem(pB);
    pB->setText(0, QStringLiteral("蜜蜂"));
    QCOMPARE(url(QStringLiteral("蜜蜂.url")), QStringLiteral("http://b/"));
    QVERIFY(!QFileInfo::exists(m_strRoot + QStringLiteral("/b.url")));
    // A name taken by another item is refused.
    pTree->setCurrentItem(dialog.ItemOf(m_strRoot + QStringLiteral("/a.url")));
    dialog.RenameCurrent(QStringLiteral("c"));
    QCOMPARE(m_answers.asked.constLast(), QStringLiteral("已有名为“c.url”的项目。"));
    QCOMPARE(url(QStringLiteral("a.url")), QStringLiteral("http://a/"));

    // Move a into Sub through the folder chooser.
    m_answers.dialog = [this](QDialog& chooser) {
        auto* pChoose = qobject_cast<CChooseFavoriteFolderDlg*>(&chooser);
        QTreeWidget* pFolders = pChoose->Folders();
        for (QTreeWidgetItemIterator it(pFolders); *it; ++it) {
            if ((*it)->data(0, CFavoriteFolderTree::kPathRole).toString() == m_strRoot + QStringLiteral("/Sub")) {
                pFolders->setCurrentItem(*it);
            }
        }
        pChoose->accept();
        return int(QDialog::Accepted);
    };
    click("moveButton");
    QCOMPARE(url(QStringLiteral("Sub/a.url")), QStringLiteral("http://a/"));
    // Sub into itself is refused.
    pTree->setCurrentItem(dialog.ItemOf(m_strRoot + QStringLiteral("/Sub")));
    click("moveButton");
    QCOMPARE(m_answers.asked.constLast(), QStringLiteral("不能把文件夹移到它自己里面。"));

    // A new folder beside the current item; an order made inside Sub, then Sub renamed: its order record moves
    // with it.
    click("newFolderButton");
    QVERIFY(QFileInfo(m_strRoot + QStringLiteral("/新建文件夹")).isDir());
    pTree->setCurrentItem(dialog.ItemOf(m_strRoot + QStringLiteral("/Sub/inner.url")));
    click("upButton");
    QVERIFY(!COrderRecordStore::Read(QStringLiteral("Sub/")).isEmpty());
    pTree->setCurrentItem(dialog.ItemOf(m_strRoot + QStringLiteral("/Sub")));
    dialog.RenameCurrent(QStringLiteral("Box"));
    QVERIFY(COrderRecordStore::Read(QStringLiteral("Sub/")).isEmpty());
    QVERIFY(!COrderRecordStore::Read(QStringLiteral("Box/")).isEmpty());
    m_pFavorites->BuildFavoritesMenu();
    QCOMPARE(favoritesMenu(), (QStringList{QStringLiteral("[Box]"), QStringLiteral("c"), QStringLiteral("蜜蜂"),
                                           QStringLiteral("[新建文件夹]")}));

    // Delete asks first; No keeps the folder, Yes removes it with its favorites and its record.
    pTree->setCurrentItem(dialog.ItemOf(m_strRoot + QStringLiteral("/Box")));
    m_answers.buttons = {QMessageBox::No, QMessageBox::Yes};
    click("deleteButton");
    QVERIFY(QFileInfo::exists(m_strRoot + QStringLiteral("/Box/a.url")));
    click("deleteButton");
    QVERIFY(!QFileInfo::exists(m_strRoot + QStringLiteral("/Box")));
    QVERIFY(COrderRecordStore::Read(QStringLiteral("Box/")).isEmpty());
    m_pFavorites->BuildFavoritesMenu();
    QCOMPARE(favoritesMenu(),
             (QStringList{QStringLiteral("c"), QStringLiteral("蜜蜂"), QStringLiteral("[新建文件夹]")}));
}

void FavoritesDialogsTest::importAndExportRoundTrip()
{
    const QString strFile = m_pTemp->filePath(QStringLiteral("bookmarks.html"));
    QVERIFY(files::WriteFile(fromQ(strFile), "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
                                             "<DT><H3>书签栏</H3>\n<DL><p>\n"
                                             "<DT><A HREF=\"http://127.0.0.1:1/新闻\">新闻 &amp; 天气</A>\n"
                                             "<DT><H3>工具</H3>\n<DL><p>\n<DT><A HREF=\"http://127.0.0.1:1/t\">T</A>\n"
                                             "</DL><p>\n</DL><p>\n<DT><A HREF=\"http://127.0.0.1:1/\">本机</A>\n"
                                             "</DL><p>\n"));
    m_answers.strOpenName = strFile;
    m_pFavorites->ImportFavorites();
    QCOMPARE(m_answers.asked.constLast(), QStringLiteral("导入了 3 个收藏，跳过了 0 个已有的收藏。"));
    QCOMPARE(url(QStringLiteral("书签栏/工具/T.url")), QStringLiteral("http://127.0.0.1:1/t"));
    QCOMPARE(favoritesMenu(), (QStringList{QStringLiteral("[书签栏]"), QStringLiteral("本机")}));
    m_pFavorites->ImportFavorites();
    QCOMPARE(m_answers.asked.constLast(), QStringLiteral("导入了 0 个收藏，跳过了 3 个已有的收藏。"));

    // Not a bookmark file, and a file that is not there: a message, nothing written.
    QVERIFY(files::WriteFile(fromQ(m_pTemp->filePath(QStringLiteral("plain.txt"))), "hello"));
    m_answers.strOpenName = m_pTemp->filePath(QStringLiteral("plain.txt"));
    m_pFavorites->ImportFavorites();
    QVERIFY(m_answers.asked.constLast().contains(QStringLiteral("中没有收藏")));
    m_answers.strOpenName = m_pTemp->filePath(QStringLiteral("missing.html"));
    m_pFavorites->ImportFavorites();
    QVERIFY(m_answers.asked.constLast().startsWith(QStringLiteral("无法读取文件")));

    m_answers.strSaveName = m_pTemp->filePath(QStringLiteral("exported.html"));
    m_pFavorites->ExportFavorites();
    QCOMPARE(m_answers.asked.constLast(), QStringLiteral("导出了 3 个收藏到“%1”。").arg(m_answers.strSaveName));
    std::string exported;
    QVERIFY(files::ReadFile(fromQ(m_answers.strSaveName), exported));
    std::string original;
    QVERIFY(files::ReadFile(fromQ(strFile), original));
    // The same tree, read back (folders are listed before favorites, as in the menu).
    const favorites::BookmarkNode back = favorites::ParseBookmarkFile(exported);
    const favorites::BookmarkNode first = favorites::ParseBookmarkFile(original);
    QCOMPARE(favorites::CountBookmarks(back), 3);
    QCOMPARE(back.children.size(), first.children.size());
    QCOMPARE(toQ(back.children.at(0).strTitle), QStringLiteral("书签栏"));
    QCOMPARE(toQ(back.children.at(0).children.at(0).strTitle), QStringLiteral("工具"));
    QCOMPARE(toQ(back.children.at(0).children.at(1).strTitle), QStringLiteral("新闻 & 天气"));
    QCOMPARE(toQ(back.children.at(0).children.at(1).strUrl), QStringLiteral("http://127.0.0.1:1/新闻"));
    QCOMPARE(toQ(back.children.at(1).strUrl), QStringLiteral("http://127.0.0.1:1/"));

    // A folder that cannot be written to is reported.
    m_answers.strSaveName = m_pTemp->filePath(QStringLiteral("no/such/folder/x.html"));
    m_pFavorites->ExportFavorites();
    QVERIFY(m_answers.asked.constLast().startsWith(QStringLiteral("无法写入文件")));
}

QTEST_MAIN(FavoritesDialogsTest)
#include "FavoritesDialogsTest.moc"
