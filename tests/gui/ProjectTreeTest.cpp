#include "project/ProjectTree.h"

#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QTreeWidgetItem>

#include "common/CommandIds.h"
#include "project/ProjectBar.h"

namespace
{
QStringList texts(const QTreeWidgetItem* parent)
{
    QStringList list;
    for (int i = 0; i < parent->childCount(); ++i) {
        list.append(parent->child(i)->text(0));
    }
    return list;
}

// The enabled state of each command the context menu offers, by id; submenus included.
QMap<int, bool> menuStates(const QMenu* menu)
{
    QMap<int, bool> states;
    for (QAction* action : menu->actions()) {
        if (action->menu()) {
            states.insert(menuStates(action->menu()));
        } else if (!action->isSeparator()) {
            states.insert(action->data().toInt(), action->isEnabled());
        }
    }
    return states;
}
} // namespace

class ProjectTreeTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void buildsRootProjectsAndPages();
    void collectsProjectsInTreeOrder();
    void bookmarksOnlyPagesAndOnlyOnce();
    void selectingAPageShowsItAndSetsNavigation();
    void deletingANodeForgetsItsPages();
    void projectKeysAreNeverReused();
    void dragMovesPagesByTheTargetRules_data();
    void dragMovesPagesByTheTargetRules();
    void dragOfAProjectDoesNothing();
    void inPlaceRenameMarksModifiedOnlyOnChange();
    void contextMenuStatesFollowTheSelection_data();
    void contextMenuStatesFollowTheSelection();
    void clickingTheSelectedPageShowsItAgainAndF2Renames();
    void deleteAndEnterKeys();
    void wholeTitleShowsAsToolTip();
    void dragNearTheEdgeScrolls();

private:
    // Two projects: A with pages a1 a2 (a2 bookmarked) a3, B with b1.
    void fill();
    QPoint centerOf(QTreeWidgetItem* item) const;
    void drag(QTreeWidgetItem* from, QTreeWidgetItem* to);

    std::unique_ptr<CProjectBar> m_pBar;
    CProjectTree* m_pTree = nullptr;
    QTreeWidgetItem* m_pA = nullptr;
    QTreeWidgetItem* m_pB = nullptr;
};

void ProjectTreeTest::init()
{
    m_pBar = std::make_unique<CProjectBar>();
    m_pTree = m_pBar->Tree();
    m_pBar->resize(300, 400);
    m_pBar->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pBar.get()));
    m_pBar->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pBar.get()));
}

void ProjectTreeTest::cleanup()
{
    m_pBar.reset();
}

void ProjectTreeTest::fill()
{
    m_pA = m_pBar->AddProject(QStringLiteral("A"));
    m_pBar->AddPage(m_pA, QStringLiteral("a1"), QStringLiteral("/s/A/a1.htm"), QStringLiteral("http://h/a1"), false);
    m_pBar->AddPage(m_pA, QStringLiteral("a2"), QStringLiteral("/s/A/a2.htm"), QStringLiteral("http://h/a2"), true);
    m_pBar->AddPage(m_pA, QStringLiteral("a3"), QStringLiteral("/s/A/a3.htm"), QStringLiteral("http://h/a3"), false);
    m_pB = m_pBar->AddProject(QStringLiteral("B"));
    m_pBar->AddPage(m_pB, QStringLiteral("b1"), QStringLiteral("/s/B/b1.htm"), QStringLiteral("http://h/b1"), false);
}

QPoint ProjectTreeTest::centerOf(QTreeWidgetItem* item) const
{
    m_pTree->scrollToItem(item);
    return m_pTree->visualItemRect(item).center();
}

void ProjectTreeTest::drag(QTreeWidgetItem* from, QTreeWidgetItem* to)
{
    QWidget* viewport = m_pTree->viewport();
    const QPoint start = centerOf(from);
    const QPoint end = centerOf(to);
    QTest::mousePress(viewport, Qt::LeftButton, {}, start);
    QTest::mouseMove(viewport, start + QPoint(0, 10));
    QTest::mouseMove(viewport, end);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, end);
}

void ProjectTreeTest::buildsRootProjectsAndPages()
{
    QVERIFY(m_pTree->Root() == nullptr);
    QCOMPARE(m_pBar->GetRootText(), QString());
    fill();
    QTreeWidgetItem* root = m_pTree->Root();
    QVERIFY(root);
    QCOMPARE(m_pTree->topLevelItemCount(), 1);
    QCOMPARE(root->text(0), QStringLiteral("所有工程"));
    QCOMPARE(CProjectTree::ItemImage(root), int(CProjectTree::kImageRoot));
    QCOMPARE(texts(root), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    QCOMPARE(texts(m_pA), (QStringList{QStringLiteral("a1"), QStringLiteral("a2"), QStringLiteral("a3")}));
    QCOMPARE(CProjectTree::ItemImage(m_pA->child(0)), int(CProjectTree::kImagePage));
    QCOMPARE(CProjectTree::ItemImage(m_pA->child(1)), int(CProjectTree::kImageBookmark));
    // The first page opens its project.
    QVERIFY(root->isExpanded());
    QVERIFY(m_pA->isExpanded());
    QCOMPARE(m_pBar->FindPageByFile(QStringLiteral("/s/B/b1.htm")), m_pB->child(0));
    QCOMPARE(m_pBar->PageUrl(m_pB->child(0)), QStringLiteral("http://h/b1"));
    QVERIFY(m_pBar->FindPageByFile(QStringLiteral("/s/B/none.htm")) == nullptr);
    // Pages go only under projects.
    QVERIFY(m_pBar->AddPage(root, QStringLiteral("x"), QStringLiteral("/x"), QString(), false) == nullptr);
    QVERIFY(m_pBar->AddPage(m_pA->child(0), QStringLiteral("x"), QStringLiteral("/x"), QString(), false) == nullptr);

    QTreeWidgetItem* empty = m_pBar->AddNewProject();
    QCOMPARE(empty->text(0), QStringLiteral("新建工程"));
    QCOMPARE(empty->parent(), root);
}

void ProjectTreeTest::collectsProjectsInTreeOrder()
{
    fill();
    // A path far beyond any fixed buffer survives whole.
    const QString strLong = QStringLiteral("/s/") + QString(600, QLatin1Char('x')) + QStringLiteral(".htm");
    m_pBar->AddPage(m_pB, QStringLiteral("长"), strLong, QStringLiteral("http://h/long"), false);
    m_pBar->AddProject(QStringLiteral("C"));

    std::vector<CProjectObject> projects;
    m_pBar->CollectProjects(projects);
    QCOMPARE(projects.size(), size_t(3));
    QCOMPARE(projects[0].m_strName, std::string("A"));
    QCOMPARE(projects[0].m_pages.size(), size_t(3));
    const CProjectInfor& a2 = projects[0].m_pages[1];
    QCOMPARE(a2.m_strTitle, std::string("a2"));
    QCOMPARE(a2.m_strLocalFile, std::string("/s/A/a2.htm"));
    QCOMPARE(a2.m_strUrl, std::string("http://h/a2"));
    QCOMPARE(a2.m_bBookmark, 1);
    QCOMPARE(projects[0].m_pages[0].m_bBookmark, 0);
    QCOMPARE(projects[1].m_pages[1].m_strLocalFile, strLong.toStdString());
    QCOMPARE(projects[1].m_pages[1].m_strTitle, std::string("长"));
    QVERIFY(projects[2].m_pages.empty());

    // The pages of one project come without bookmarks.
    CProjectObject one;
    m_pBar->CollectPages(m_pA, one);
    QCOMPARE(one.m_strName, std::string("A"));
    QCOMPARE(one.m_pages.size(), size_t(3));
    QCOMPARE(one.m_pages[1].m_bBookmark, 0);
}

void ProjectTreeTest::bookmarksOnlyPagesAndOnlyOnce()
{
    fill();
    bool bBookmarked = false;
    // Nothing selected, the root, a project: no bookmark state, nothing changes.
    QVERIFY(!m_pBar->GetBookmarkState(bBookmarked));
    QVERIFY(!m_pBar->SetBookmark());
    for (QTreeWidgetItem* item : {m_pTree->Root(), m_pA}) {
        m_pBar->SelectNode(item);
        QVERIFY(!m_pBar->GetBookmarkState(bBookmarked));
        QVERIFY(!m_pBar->SetBookmark());
        QVERIFY(!m_pBar->ClearBookmark());
    }
    QTreeWidgetItem* a1 = m_pA->child(0);
    m_pBar->SelectNode(a1);
    QVERIFY(m_pBar->GetBookmarkState(bBookmarked));
    QVERIFY(!bBookmarked);
    QVERIFY(!m_pBar->ClearBookmark());
    QVERIFY(m_pBar->SetBookmark());
    QVERIFY(!m_pBar->SetBookmark());
    QVERIFY(m_pBar->GetBookmarkState(bBookmarked));
    QVERIFY(bBookmarked);
    QCOMPARE(CProjectTree::ItemImage(a1), int(CProjectTree::kImageBookmark));
    QVERIFY(m_pBar->ClearBookmark());
    QCOMPARE(CProjectTree::ItemImage(a1), int(CProjectTree::kImagePage));
}

void ProjectTreeTest::selectingAPageShowsItAndSetsNavigation()
{
    fill();
    QSignalSpy shown(m_pBar.get(), &CProjectBar::pageSelected);
    bool bPrev = true;
    bool bNext = true;

    m_pBar->SelectNode(m_pA);
    QCOMPARE(shown.count(), 0);
    QVERIFY(m_pBar->IsProjectOrPageSelected());
    m_pBar->GetNavState(bPrev, bNext);
    QVERIFY(!bPrev && !bNext);

    // Clicking a page shows its local file.
    QTest::mouseClick(m_pTree->viewport(), Qt::LeftButton, {}, centerOf(m_pA->child(0)));
    QCOMPARE(shown.count(), 1);
    QCOMPARE(shown.takeFirst().at(0).toString(), QStringLiteral("/s/A/a1.htm"));
    m_pBar->GetNavState(bPrev, bNext);
    QVERIFY(!bPrev && bNext);

    // Stepping walks the project's pages and stops at its ends.
    QVERIFY(m_pBar->SelectNextPage(m_pBar->GetSelection()));
    QVERIFY(m_pBar->SelectNextPage(m_pBar->GetSelection()));
    QVERIFY(!m_pBar->SelectNextPage(m_pBar->GetSelection()));
    QCOMPARE(m_pBar->GetSelection(), m_pA->child(2));
    m_pBar->GetNavState(bPrev, bNext);
    QVERIFY(bPrev && !bNext);
    QCOMPARE(shown.count(), 2);
    QCOMPARE(shown.last().at(0).toString(), QStringLiteral("/s/A/a3.htm"));
    QVERIFY(m_pBar->SelectPrevPage(m_pBar->GetSelection()));
    QCOMPARE(m_pBar->GetSelection(), m_pA->child(1));
    QVERIFY(!m_pBar->SelectPrevPage(m_pA));

    // A selection made because the browser already shows the page does not show it again.
    m_pBar->SelectNode(m_pB->child(0), false);
    QCOMPARE(shown.count(), 3);
    QCOMPARE(m_pBar->GetSelectedProject(), m_pB);

    // The root clears every flag.
    m_pBar->SelectNode(m_pTree->Root());
    QVERIFY(!m_pBar->IsProjectOrPageSelected());
    QVERIFY(m_pBar->GetSelectedProject() == nullptr);
}

void ProjectTreeTest::deletingANodeForgetsItsPages()
{
    fill();
    // The same local file in two projects: deleting one page leaves the other findable.
    QTreeWidgetItem* shared = m_pBar->AddPage(m_pB, QStringLiteral("again"), QStringLiteral("/s/A/a1.htm"),
                                              QStringLiteral("http://h/a1"), false);
    const std::uintptr_t keyA = m_pBar->ProjectKey(m_pA);
    const std::vector<std::uintptr_t> keys = m_pBar->DeleteNode(m_pA);
    QCOMPARE(keys, std::vector<std::uintptr_t>{keyA});
    QCOMPARE(m_pBar->FindPageByFile(QStringLiteral("/s/A/a1.htm")), shared);
    QVERIFY(m_pBar->FindPageByFile(QStringLiteral("/s/A/a2.htm")) == nullptr);
    QVERIFY(m_pBar->ProjectByKey(keyA) == nullptr);
    QCOMPARE(texts(m_pTree->Root()), QStringList{QStringLiteral("B")});

    QVERIFY(m_pBar->DeleteNode(shared).empty());
    QVERIFY(m_pBar->FindPageByFile(QStringLiteral("/s/A/a1.htm")) == nullptr);

    QVERIFY(m_pBar->DeleteAll());
    QVERIFY(!m_pBar->DeleteAll());
    QVERIFY(m_pTree->Root() == nullptr);
    QVERIFY(m_pBar->FindPageByFile(QStringLiteral("/s/B/b1.htm")) == nullptr);
}

void ProjectTreeTest::projectKeysAreNeverReused()
{
    // Job results name their project by key: a key must never come back for another project.
    QTreeWidgetItem* first = m_pBar->AddProject(QStringLiteral("one"));
    const std::uintptr_t key = m_pBar->ProjectKey(first);
    QVERIFY(key != 0);
    QCOMPARE(m_pBar->ProjectByKey(key), first);
    m_pBar->DeleteAll();
    for (int i = 0; i < 5; ++i) {
        QTreeWidgetItem* project = m_pBar->AddProject(QStringLiteral("p%1").arg(i));
        QVERIFY(m_pBar->ProjectKey(project) != key);
    }
    QVERIFY(m_pBar->ProjectByKey(key) == nullptr);
    QCOMPARE(m_pBar->ProjectKey(m_pTree->Root()), std::uintptr_t(0));
}

void ProjectTreeTest::dragMovesPagesByTheTargetRules_data()
{
    // Nodes are named by path: "A/1" is the second page of project A, "A" the project, "root" the root.
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("pagesOfA");
    QTest::addColumn<QStringList>("pagesOfB");
    QTest::addColumn<bool>("modified");

    const QStringList unchangedA{QStringLiteral("a1"), QStringLiteral("a2"), QStringLiteral("a3")};
    const QStringList unchangedB{QStringLiteral("b1")};
    QTest::newRow("onto a page of another project: right after it")
        << "A/0"
        << "B/0" << QStringList{QStringLiteral("a2"), QStringLiteral("a3")}
        << QStringList{QStringLiteral("b1"), QStringLiteral("a1")} << true;
    QTest::newRow("onto another project: its last page")
        << "A/1"
        << "B" << QStringList{QStringLiteral("a1"), QStringLiteral("a3")}
        << QStringList{QStringLiteral("b1"), QStringLiteral("a2")} << true;
    QTest::newRow("onto a page of its own project")
        << "A/0"
        << "A/2" << QStringList{QStringLiteral("a2"), QStringLiteral("a3"), QStringLiteral("a1")} << unchangedB << true;
    QTest::newRow("onto the root: nothing changes") << "A/0"
                                                    << "root" << unchangedA << unchangedB << false;
    QTest::newRow("onto itself: nothing changes") << "A/0"
                                                  << "A/0" << unchangedA << unchangedB << false;
}

void ProjectTreeTest::dragMovesPagesByTheTargetRules()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QStringList, pagesOfA);
    QFETCH(QStringList, pagesOfB);
    QFETCH(bool, modified);
    fill();
    const auto node = [this](const QString& strName) -> QTreeWidgetItem* {
        if (strName == QStringLiteral("root")) {
            return m_pTree->Root();
        }
        QTreeWidgetItem* project = strName.startsWith(QLatin1Char('A')) ? m_pA : m_pB;
        return strName.size() == 1 ? project : project->child(strName.mid(2).toInt());
    };
    QTreeWidgetItem* page = node(from);
    const QString strFile = CProjectTree::ItemPath(page);
    const QString strUrl = m_pBar->PageUrl(page);
    QSignalSpy changed(m_pBar.get(), &CProjectBar::projectModified);

    drag(page, node(to));

    QVERIFY(!m_pTree->IsDragging());
    QCOMPARE(texts(m_pA), pagesOfA);
    QCOMPARE(texts(m_pB), pagesOfB);
    QCOMPARE(changed.count(), modified ? 1 : 0);
    // The moved page keeps its file and address and is found by its file.
    QCOMPARE(m_pBar->FindPageByFile(strFile), page);
    QCOMPARE(CProjectTree::ItemPath(page), strFile);
    QCOMPARE(m_pBar->PageUrl(page), strUrl);
    QVERIFY(m_pTree->IsPage(page));
}

void ProjectTreeTest::dragOfAProjectDoesNothing()
{
    fill();
    // A bookmarked page loses its bookmark when moved.
    QTreeWidgetItem* a2 = m_pA->child(1);
    drag(a2, m_pB->child(0));
    QCOMPARE(a2->parent(), m_pB);
    QCOMPARE(CProjectTree::ItemImage(a2), int(CProjectTree::kImagePage));

    QSignalSpy changed(m_pBar.get(), &CProjectBar::projectModified);
    drag(m_pB, m_pA);
    QCOMPARE(texts(m_pTree->Root()), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    QCOMPARE(changed.count(), 0);
    QVERIFY(!m_pTree->IsDragging());
}

void ProjectTreeTest::inPlaceRenameMarksModifiedOnlyOnChange()
{
    fill();
    QSignalSpy changed(m_pBar.get(), &CProjectBar::projectModified);
    QTreeWidgetItem* page = m_pA->child(0);
    const auto rename = [this](QTreeWidgetItem* item, const QString& strText) {
        m_pBar->SelectNode(item);
        m_pTree->editItem(item);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->setText(strText);
        // The item view ends the edit on Enter through a queued call.
        QSignalSpy ended(m_pTree, &CProjectTree::labelEditEnded);
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(ended.wait());
    };

    rename(page, QStringLiteral("a1"));
    QCOMPARE(changed.count(), 0);
    rename(page, QStringLiteral("新标题"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(page->text(0), QStringLiteral("新标题"));
    QCOMPARE(CProjectTree::ItemPath(page), QStringLiteral("/s/A/a1.htm"));
    QCOMPARE(m_pBar->PageUrl(page), QStringLiteral("http://h/a1"));

    // An emptied label keeps the old name.
    rename(m_pA, QString());
    QCOMPARE(m_pA->text(0), QStringLiteral("A"));
    QCOMPARE(changed.count(), 1);

    // The root can be renamed too; its text is what a save as writes as the file's header name.
    rename(m_pTree->Root(), QStringLiteral("我的工程"));
    QCOMPARE(m_pBar->GetRootText(), QStringLiteral("我的工程"));
    QCOMPARE(changed.count(), 2);
}

void ProjectTreeTest::contextMenuStatesFollowTheSelection_data()
{
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QList<int>>("enabled");
    QTest::addColumn<QList<int>>("greyed");

    const int kCreate = cmd::ID_NEW_EMPTY_PROJECT_TREE;
    const int kLocal = cmd::ID_ADD_LOCAL_PAGES;
    const int kDelete = cmd::ID_DELETE_NODE;
    const int kRename = cmd::ID_RENAME_NODE;
    const int kMark = cmd::ID_INSERT_BOOKMARK_TREE;
    const int kUnmark = cmd::ID_REMOVE_BOOKMARK_TREE;
    QTest::newRow("empty tree") << "none" << QList<int>{kCreate}
                                << QList<int>{kLocal, kDelete, kRename, kMark, kUnmark};
    QTest::newRow("root") << "root" << QList<int>{kCreate} << QList<int>{kLocal, kDelete, kRename, kMark, kUnmark};
    QTest::newRow("project") << "A" << QList<int>{kCreate, kLocal, kDelete, kRename} << QList<int>{kMark, kUnmark};
    QTest::newRow("page") << "A/0" << QList<int>{kCreate, kLocal, kDelete, kRename, kMark} << QList<int>{kUnmark};
    QTest::newRow("bookmarked page") << "A/1" << QList<int>{kCreate, kLocal, kDelete, kRename, kUnmark}
                                     << QList<int>{kMark};
}

void ProjectTreeTest::contextMenuStatesFollowTheSelection()
{
    QFETCH(QString, selection);
    QFETCH(QList<int>, enabled);
    QFETCH(QList<int>, greyed);
    // The frame offers these commands; the others are left off the menu.
    const QList<int> offered{
        cmd::ID_NEW_EMPTY_PROJECT_TREE, cmd::ID_ADD_LOCAL_PAGES,     cmd::ID_DELETE_NODE, cmd::ID_RENAME_NODE,
        cmd::ID_INSERT_BOOKMARK_TREE,   cmd::ID_REMOVE_BOOKMARK_TREE};
    m_pBar->SetCommandFilter([&offered](int nId) { return offered.contains(nId); });
    if (selection != QStringLiteral("none")) {
        fill();
        if (selection == QStringLiteral("root")) {
            m_pBar->SelectNode(m_pTree->Root());
        } else if (selection == QStringLiteral("A")) {
            m_pBar->SelectNode(m_pA);
        } else {
            m_pBar->SelectNode(m_pA->child(selection.mid(2).toInt()));
        }
    }
    std::unique_ptr<QMenu> menu(m_pBar->CreateContextMenu(nullptr));
    const QMap<int, bool> states = menuStates(menu.get());
    QCOMPARE(states.size(), offered.size());
    for (const int nId : enabled) {
        QVERIFY2(states.value(nId, false), qPrintable(QString::number(nId)));
    }
    for (const int nId : greyed) {
        QVERIFY2(!states.value(nId, true), qPrintable(QString::number(nId)));
    }
}

void ProjectTreeTest::clickingTheSelectedPageShowsItAgainAndF2Renames()
{
    fill();
    QSignalSpy shown(m_pBar.get(), &CProjectBar::pageSelected);
    QTreeWidgetItem* page = m_pA->child(0);
    QTest::mouseClick(m_pTree->viewport(), Qt::LeftButton, {}, centerOf(page));
    QCOMPARE(shown.count(), 1);
    // A second click, no double click: the page is shown again and no editor opens.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(m_pTree->viewport(), Qt::LeftButton, {}, centerOf(page));
    QCOMPARE(shown.count(), 2);
    QCOMPARE(shown.last().at(0).toString(), QStringLiteral("/s/A/a1.htm"));
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QVERIFY(!qobject_cast<QLineEdit*>(QApplication::focusWidget()));

    // F2 edits the label in place.
    QTest::keyClick(m_pTree, Qt::Key_F2);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(page->text(0), QStringLiteral("a1"));
}

void ProjectTreeTest::deleteAndEnterKeys()
{
    fill();
    QSignalSpy commands(m_pBar.get(), &CProjectBar::commandChosen);
    QSignalSpy shown(m_pBar.get(), &CProjectBar::pageSelected);
    m_pTree->setFocus();

    m_pBar->SelectNode(m_pA->child(1));
    QCOMPARE(shown.count(), 1);
    QTest::keyClick(m_pTree, Qt::Key_Delete);
    QCOMPARE(commands.count(), 1);
    QCOMPARE(commands.at(0).at(0).toInt(), int(cmd::ID_DELETE_NODE));
    // Enter on a page shows it again.
    QTest::keyClick(m_pTree, Qt::Key_Return);
    QCOMPARE(shown.count(), 2);

    // Enter on a project folds and unfolds it, and its folder picture follows.
    m_pBar->SelectNode(m_pA);
    QVERIFY(m_pA->isExpanded());
    QTest::keyClick(m_pTree, Qt::Key_Return);
    QVERIFY(!m_pA->isExpanded());
    QCOMPARE(CProjectTree::ItemImage(m_pA), int(CProjectTree::kImageClosed));
    QTest::keyClick(m_pTree, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(m_pA->isExpanded());
    QCOMPARE(CProjectTree::ItemImage(m_pA), int(CProjectTree::kImageOpen));
    QCOMPARE(commands.count(), 1);
}

void ProjectTreeTest::wholeTitleShowsAsToolTip()
{
    fill();
    const QString strTitle =
        QStringLiteral("第 2 章 Debian 软件包管理 — 深入理解 apt 与 dpkg 的工作方式和它们的配置文件");
    QTreeWidgetItem* page =
        m_pBar->AddPage(m_pB, strTitle, QStringLiteral("/s/B/b2.htm"), QStringLiteral("http://h/b2"), false);
    // Narrower than the title: the tree cuts it.
    m_pBar->resize(200, 400);
    const QPoint pt = centerOf(page);
    QVERIFY(m_pTree->fontMetrics().horizontalAdvance(strTitle) > m_pTree->viewport()->width());
    QHelpEvent help(QEvent::ToolTip, pt, m_pTree->viewport()->mapToGlobal(pt));
    QApplication::sendEvent(m_pTree->viewport(), &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), strTitle);
    QToolTip::hideText();
}

void ProjectTreeTest::dragNearTheEdgeScrolls()
{
    fill();
    for (int i = 0; i < 60; ++i) {
        const QString strName = QStringLiteral("b%1").arg(i + 2);
        m_pBar->AddPage(m_pB, strName, QStringLiteral("/s/B/%1.htm").arg(strName), QString(), false);
    }
    QTreeWidgetItem* page = m_pA->child(0);
    QWidget* viewport = m_pTree->viewport();
    const QPoint start = centerOf(page);
    QCOMPARE(m_pTree->verticalScrollBar()->value(), 0);
    QTest::mousePress(viewport, Qt::LeftButton, {}, start);
    QTest::mouseMove(viewport, start + QPoint(0, 10));
    QVERIFY(m_pTree->IsDragging());
    // Held just inside the bottom edge, the tree scrolls until its end.
    const QPoint edge(start.x(), viewport->height() - 4);
    QTest::mouseMove(viewport, edge);
    QTRY_COMPARE(m_pTree->verticalScrollBar()->value(), m_pTree->verticalScrollBar()->maximum());
    // The target follows the scroll: one of the last pages now under the pointer.
    QTreeWidgetItem* target = m_pTree->DropTarget();
    QVERIFY(target);
    QCOMPARE(target->parent(), m_pB);
    QVERIFY(m_pB->indexOfChild(target) > 40);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, edge);
    QCOMPARE(page->parent(), m_pB);
    QCOMPARE(m_pB->indexOfChild(page), m_pB->indexOfChild(target) + 1);
}

QTEST_MAIN(ProjectTreeTest)
#include "ProjectTreeTest.moc"
