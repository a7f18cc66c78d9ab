#include "project/ProjectBar.h"

#include <QMenu>
#include <QTreeWidgetItem>
#include <QUrl>
#include <QVBoxLayout>

#include "common/CommandIds.h"
#include "common/Text.h"
#include "project/ProjectTree.h"
#include "ui/Icons.h"

namespace
{
constexpr int kRoleKey = Qt::UserRole + 2;

struct MenuEntry
{
    int nId;           // 0: separator
    const char* text;  // null with nId 0: separator
    int nSubmenu = -1; // >= 0: opens submenu nSubmenu instead of a command
};

// The tree's context menu; the submenu "添加网页到工程" holds the two ways of adding pages.
const MenuEntry kMenu[] = {
    {cmd::ID_NEW_PROJECT_TREE, "创建新工程"},
    {cmd::ID_NEW_EMPTY_PROJECT_TREE, "创建新的空工程"},
    {0, "添加网页到工程", 0},
    {0, nullptr},
    {cmd::ID_DELETE_NODE, "删除"},
    {cmd::ID_RENAME_NODE, "改名"},
    {cmd::ID_UPDATE_PROJECT_TREE, "更新工程"},
    {cmd::ID_INSERT_BOOKMARK_TREE, "插入书签"},
    {cmd::ID_REMOVE_BOOKMARK_TREE, "取消书签"},
    {0, nullptr},
    {cmd::ID_MAKE_CHM_TREE, "生成CHM文档"},
    {cmd::ID_MAKE_EPUB_TREE, "生成EPUB文件"},
};
const MenuEntry kAddPagesMenu[] = {
    {cmd::ID_ADD_LOCAL_PAGES, "从本地..."},
    {cmd::ID_ADD_FROM_INTERNET, "从Internet..."},
};

QString fromUtf8(const char* text)
{
    return QString::fromUtf8(text);
}
} // namespace

CProjectBar::CProjectBar(QWidget* parent)
    : CSizingControlBarCF(QStringLiteral("Project window"), cmd::ID_PROJECT_BAR, parent)
    , m_wndTree(new CProjectTree)
{
    setObjectName(QStringLiteral("projectBar"));
    QList<QIcon> images;
    for (int i = 0; i < kTreeIconCount; ++i) {
        images.append(treeIcon(i));
    }
    m_wndTree->SetImages(images);
    m_wndTree->setContextMenuPolicy(Qt::CustomContextMenu);
    setClientWidget(m_wndTree);

    connect(m_wndTree, &QTreeWidget::itemSelectionChanged, this, &CProjectBar::onSelectionChanged);
    connect(m_wndTree, &QWidget::customContextMenuRequested, this, &CProjectBar::onContextMenu);
    connect(m_wndTree, &CProjectTree::labelEditBegun, this, &CProjectBar::onLabelEditBegun);
    connect(m_wndTree, &CProjectTree::labelEditEnded, this, &CProjectBar::onLabelEditEnded);
    connect(m_wndTree, &CProjectTree::projectModified, this, &CProjectBar::projectModified);
    connect(m_wndTree, &CProjectTree::pageActivated, this,
            [this](QTreeWidgetItem* page) { emit pageSelected(CProjectTree::ItemPath(page)); });
    connect(m_wndTree, &CProjectTree::deleteRequested, this, [this] { emit commandChosen(cmd::ID_DELETE_NODE); });
}

CProjectBar::~CProjectBar() = default;

void CProjectBar::SetSearchPanel(QWidget* panel)
{
    auto* client = new QWidget;
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(panel);
    layout->addWidget(m_wndTree, 1);
    setClientWidget(client);
    // The dock hides the widget it held before.
    m_wndTree->show();
}

QString CProjectBar::RootText()
{
    return QStringLiteral("所有工程");
}

QString CProjectBar::NewProjectName()
{
    return QStringLiteral("新建工程");
}

QTreeWidgetItem* CProjectBar::EnsureRoot()
{
    if (QTreeWidgetItem* root = m_wndTree->Root()) {
        return root;
    }
    auto* root = new QTreeWidgetItem(m_wndTree, QStringList(RootText()));
    root->setFlags(root->flags() | Qt::ItemIsEditable);
    m_wndTree->SetItemImage(root, CProjectTree::kImageRoot);
    return root;
}

QTreeWidgetItem* CProjectBar::AddProject(const QString& strName)
{
    QTreeWidgetItem* root = EnsureRoot();
    auto* project = new QTreeWidgetItem(root, QStringList(strName));
    project->setFlags(project->flags() | Qt::ItemIsEditable);
    project->setData(0, kRoleKey, QVariant::fromValue<quint64>(m_nNextKey++));
    m_wndTree->SetItemImage(project, CProjectTree::kImageClosed);
    return project;
}

QTreeWidgetItem* CProjectBar::AddNewProject()
{
    QTreeWidgetItem* project = AddProject(NewProjectName());
    m_wndTree->expandItem(m_wndTree->Root());
    return project;
}

QTreeWidgetItem* CProjectBar::AddPage(QTreeWidgetItem* project,
                                      const QString& strTitle,
                                      const QString& strLocalFile,
                                      const QString& strUrl,
                                      bool bBookmark)
{
    if (!m_wndTree->IsProject(project)) {
        return nullptr;
    }
    auto* page = new QTreeWidgetItem(project, QStringList(strTitle));
    page->setFlags(page->flags() | Qt::ItemIsEditable);
    m_wndTree->SetItemImage(page, bBookmark ? CProjectTree::kImageBookmark : CProjectTree::kImagePage);
    CProjectTree::SetItemPath(page, strLocalFile);
    if (project->childCount() == 1) {
        m_wndTree->expandItem(m_wndTree->Root());
        m_wndTree->expandItem(project);
    }
    m_wndTree->m_mapUrlByNode.insert(page, strUrl);
    m_mapPageByFile.insert(strLocalFile, page);
    return page;
}

void CProjectBar::collectPages(const QTreeWidgetItem* project, CProjectObject& object, bool bWithBookmarks) const
{
    object.m_strName = fromQ(project->text(0));
    for (int i = 0; i < project->childCount(); ++i) {
        const QTreeWidgetItem* page = project->child(i);
        CProjectInfor info;
        info.m_strTitle = fromQ(page->text(0));
        info.m_strLocalFile = fromQ(CProjectTree::ItemPath(page));
        info.m_strUrl = fromQ(m_wndTree->m_mapUrlByNode.value(page));
        info.m_bBookmark = bWithBookmarks && CProjectTree::ItemImage(page) == CProjectTree::kImageBookmark ? 1 : 0;
        object.m_pages.push_back(std::move(info));
    }
}

void CProjectBar::CollectProjects(std::vector<CProjectObject>& projects) const
{
    for (const QTreeWidgetItem* project : Projects()) {
        CProjectObject object;
        collectPages(project, object, true);
        projects.push_back(std::move(object));
    }
}

void CProjectBar::CollectPages(QTreeWidgetItem* project, CProjectObject& object) const
{
    if (m_wndTree->IsProject(project)) {
        collectPages(project, object, false);
    }
}

void CProjectBar::forgetPage(QTreeWidgetItem* page)
{
    m_wndTree->m_mapUrlByNode.remove(page);
    const QString strPath = CProjectTree::ItemPath(page);
    auto it = m_mapPageByFile.find(strPath);
    if (it == m_mapPageByFile.end() || it.value() != page) {
        return;
    }
    m_mapPageByFile.erase(it);
    // Another page may hold the same file (one local file added to two projects): it takes the entry.
    QTreeWidgetItemIterator other(m_wndTree);
    for (; *other; ++other) {
        if (*other != page && m_wndTree->IsPage(*other) && CProjectTree::ItemPath(*other) == strPath) {
            m_mapPageByFile.insert(strPath, *other);
            break;
        }
    }
}

std::vector<std::uintptr_t> CProjectBar::DeleteNode(QTreeWidgetItem* item)
{
    std::vector<std::uintptr_t> keys;
    if (!item) {
        return keys;
    }
    m_wndTree->CancelInteraction();
    std::vector<QTreeWidgetItem*> pending{item};
    while (!pending.empty()) {
        QTreeWidgetItem* node = pending.back();
        pending.pop_back();
        if (m_wndTree->IsProject(node)) {
            keys.push_back(ProjectKey(node));
        } else if (m_wndTree->IsPage(node)) {
            forgetPage(node);
        }
        for (int i = 0; i < node->childCount(); ++i) {
            pending.push_back(node->child(i));
        }
    }
    delete item;
    if (m_wndTree->topLevelItemCount() == 0) {
        m_mapPageByFile.clear();
        m_wndTree->m_mapUrlByNode.clear();
    }
    return keys;
}

bool CProjectBar::DeleteAll()
{
    if (m_wndTree->topLevelItemCount() == 0) {
        return false;
    }
    m_wndTree->CancelInteraction();
    m_mapPageByFile.clear();
    m_wndTree->m_mapUrlByNode.clear();
    m_wndTree->clear();
    m_bHasPrevPage = m_bHasNextPage = m_bProjectSelected = false;
    return true;
}

QString CProjectBar::GetRootText() const
{
    const QTreeWidgetItem* root = m_wndTree->Root();
    return root ? root->text(0) : QString();
}

QTreeWidgetItem* CProjectBar::GetSelection(bool* pIsProject) const
{
    const QList<QTreeWidgetItem*> selected = m_wndTree->selectedItems();
    QTreeWidgetItem* item = selected.isEmpty() ? nullptr : selected.constFirst();
    if (pIsProject) {
        *pIsProject = m_wndTree->IsProject(item);
    }
    return item;
}

QTreeWidgetItem* CProjectBar::GetSelectedProject() const
{
    QTreeWidgetItem* item = GetSelection();
    if (m_wndTree->IsProject(item)) {
        return item;
    }
    if (m_wndTree->IsPage(item)) {
        return item->parent();
    }
    return nullptr;
}

QString CProjectBar::GetItemText(const QTreeWidgetItem* item) const
{
    return item ? item->text(0) : QString();
}

void CProjectBar::SetItemText(QTreeWidgetItem* item, const QString& strText)
{
    if (item) {
        item->setText(0, strText);
    }
}

bool CProjectBar::SelectPrevPage(QTreeWidgetItem* item)
{
    if (!m_wndTree->IsPage(item)) {
        return false;
    }
    QTreeWidgetItem* parent = item->parent();
    const int nIndex = parent->indexOfChild(item);
    if (nIndex <= 0) {
        return false;
    }
    SelectNode(parent->child(nIndex - 1));
    return true;
}

bool CProjectBar::SelectNextPage(QTreeWidgetItem* item)
{
    if (!m_wndTree->IsPage(item)) {
        return false;
    }
    QTreeWidgetItem* parent = item->parent();
    const int nIndex = parent->indexOfChild(item);
    if (nIndex + 1 >= parent->childCount()) {
        return false;
    }
    SelectNode(parent->child(nIndex + 1));
    return true;
}

bool CProjectBar::SetBookmark()
{
    QTreeWidgetItem* item = GetSelection();
    if (!m_wndTree->IsPage(item) || CProjectTree::ItemImage(item) != CProjectTree::kImagePage) {
        return false;
    }
    m_wndTree->SetItemImage(item, CProjectTree::kImageBookmark);
    return true;
}

bool CProjectBar::ClearBookmark()
{
    QTreeWidgetItem* item = GetSelection();
    if (!m_wndTree->IsPage(item) || CProjectTree::ItemImage(item) != CProjectTree::kImageBookmark) {
        return false;
    }
    m_wndTree->SetItemImage(item, CProjectTree::kImagePage);
    return true;
}

bool CProjectBar::GetBookmarkState(bool& bBookmarked) const
{
    const QTreeWidgetItem* item = GetSelection();
    if (!m_wndTree->IsPage(item)) {
        return false;
    }
    bBookmarked = CProjectTree::ItemImage(item) != CProjectTree::kImagePage;
    return true;
}

QTreeWidgetItem* CProjectBar::FindPageByFile(const QString& strPath) const
{
    return m_mapPageByFile.value(strPath, nullptr);
}

void CProjectBar::SelectNode(QTreeWidgetItem* item, bool bShow)
{
    if (!item) {
        return;
    }
    m_bShowSelection = bShow;
    m_wndTree->setCurrentItem(item);
    m_wndTree->scrollToItem(item);
    m_bShowSelection = true;
}

void CProjectBar::GetNavState(bool& bHasPrev, bool& bHasNext) const
{
    bHasPrev = m_bHasPrevPage;
    bHasNext = m_bHasNextPage;
}

bool CProjectBar::IsProjectOrPageSelected() const
{
    return m_bProjectSelected;
}

std::uintptr_t CProjectBar::ProjectKey(const QTreeWidgetItem* project) const
{
    return m_wndTree->IsProject(project) ? static_cast<std::uintptr_t>(project->data(0, kRoleKey).toULongLong()) : 0;
}

QTreeWidgetItem* CProjectBar::ProjectByKey(std::uintptr_t key) const
{
    if (key == 0) {
        return nullptr;
    }
    for (QTreeWidgetItem* project : Projects()) {
        if (ProjectKey(project) == key) {
            return project;
        }
    }
    return nullptr;
}

QList<QTreeWidgetItem*> CProjectBar::Projects() const
{
    QList<QTreeWidgetItem*> projects;
    if (QTreeWidgetItem* root = m_wndTree->Root()) {
        for (int i = 0; i < root->childCount(); ++i) {
            projects.append(root->child(i));
        }
    }
    return projects;
}

QString CProjectBar::PageUrl(const QTreeWidgetItem* page) const
{
    return m_wndTree->m_mapUrlByNode.value(page);
}

void CProjectBar::onSelectionChanged()
{
    QTreeWidgetItem* item = GetSelection();
    if (!item) {
        m_bHasPrevPage = m_bHasNextPage = m_bProjectSelected = false;
        return;
    }
    if (m_wndTree->IsProject(item)) {
        m_bHasPrevPage = m_bHasNextPage = false;
        m_bProjectSelected = true;
        return;
    }
    if (!m_wndTree->IsPage(item)) {
        m_bHasPrevPage = m_bHasNextPage = m_bProjectSelected = false;
        return;
    }
    m_bProjectSelected = true;
    const QTreeWidgetItem* parent = item->parent();
    const int nIndex = parent->indexOfChild(item);
    m_bHasPrevPage = nIndex > 0;
    m_bHasNextPage = nIndex + 1 < parent->childCount();
    if (m_bShowSelection) {
        emit pageSelected(CProjectTree::ItemPath(item));
    }
}

QMenu* CProjectBar::CreateContextMenu(QWidget* parent) const
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("projectTreeMenu"));
    const auto offered = [this](int nId) { return !m_commandFilter || m_commandFilter(nId); };

    QTreeWidgetItem* selection = GetSelection();
    const bool bNoTarget = !m_wndTree->Root() || !selection || m_wndTree->IsRoot(selection);
    const QTreeWidgetItem* project = GetSelectedProject();
    const bool bProjectHasPages = project && project->childCount() > 0;
    const bool bPage = m_wndTree->IsPage(selection);
    const bool bBookmarked = bPage && CProjectTree::ItemImage(selection) != CProjectTree::kImagePage;

    const auto enabled = [&](int nId) {
        switch (nId) {
        case cmd::ID_DELETE_NODE:
        case cmd::ID_RENAME_NODE:
        case cmd::ID_ADD_LOCAL_PAGES:
        case cmd::ID_ADD_FROM_INTERNET:
            return !bNoTarget;
        case cmd::ID_MAKE_CHM_TREE:
        case cmd::ID_MAKE_EPUB_TREE:
            return !bNoTarget && bProjectHasPages;
        case cmd::ID_UPDATE_PROJECT_TREE:
            return !bNoTarget && project != nullptr;
        case cmd::ID_INSERT_BOOKMARK_TREE:
            return !bNoTarget && bPage && !bBookmarked;
        case cmd::ID_REMOVE_BOOKMARK_TREE:
            return !bNoTarget && bPage && bBookmarked;
        default:
            return true;
        }
    };
    const auto addCommand = [&](QMenu* to, const MenuEntry& entry) {
        QAction* action = to->addAction(fromUtf8(entry.text));
        action->setData(entry.nId);
        action->setEnabled(enabled(entry.nId));
    };

    for (const MenuEntry& entry : kMenu) {
        if (entry.nSubmenu >= 0) {
            QMenu* submenu = nullptr;
            for (const MenuEntry& sub : kAddPagesMenu) {
                if (offered(sub.nId)) {
                    if (!submenu) {
                        submenu = menu->addMenu(fromUtf8(entry.text));
                    }
                    addCommand(submenu, sub);
                }
            }
        } else if (entry.nId == 0) {
            menu->addSeparator();
        } else if (offered(entry.nId)) {
            addCommand(menu, entry);
        }
    }
    return menu;
}

void CProjectBar::onContextMenu(const QPoint& pos)
{
    QMenu* menu = CreateContextMenu(this);
    QAction* chosen = menu->exec(m_wndTree->viewport()->mapToGlobal(pos));
    const int nId = chosen ? chosen->data().toInt() : 0;
    delete menu;
    if (nId != 0) {
        emit commandChosen(nId);
    }
}

void CProjectBar::onLabelEditBegun(QTreeWidgetItem* item)
{
    m_strOldLabel = item->text(0);
}

void CProjectBar::onLabelEditEnded(QTreeWidgetItem* item)
{
    m_strNewLabel = item->text(0);
    if (m_strNewLabel.trimmed().isEmpty()) {
        // A node never loses its name to an emptied edit field.
        const QSignalBlocker blocker(m_wndTree);
        item->setText(0, m_strOldLabel);
    } else if (m_strNewLabel != m_strOldLabel) {
        emit projectModified();
    }
    m_strOldLabel.clear();
    m_strNewLabel.clear();
}

void CProjectBar::SelectPageShownAt(const QString& strAddress)
{
    QString strPath;
    const QUrl url(strAddress);
    if (url.isLocalFile()) {
        strPath = url.toLocalFile();
    } else if (strAddress.startsWith(QLatin1Char('/'))) {
        strPath = strAddress;
    }
    if (strPath.isEmpty()) {
        return;
    }
    strPath.replace(QStringLiteral("%20"), QStringLiteral(" "));
    if (QTreeWidgetItem* page = FindPageByFile(strPath)) {
        SelectNode(page, false);
    }
}
