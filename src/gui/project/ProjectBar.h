#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QHash>
#include <QString>

#include "project/ProjectRecords.h"
#include "ui/SizingControlBarCF.h"

class CProjectTree;
class QMenu;
class QTreeWidgetItem;

// The project window: a docking bar holding the project tree, which is the live project data while
// the program runs. The document turns it into records and back when a project file is saved or
// opened; download results add pages to it.
class CProjectBar final : public CSizingControlBarCF
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CProjectBar)

public:
    explicit CProjectBar(QWidget* parent = nullptr);
    ~CProjectBar() override;

    CProjectTree* Tree() const { return m_wndTree; }
    // Puts a panel (the search box) above the tree, in the same window.
    void SetSearchPanel(QWidget* panel);

    // The root node "所有工程", made when the tree has none.
    QTreeWidgetItem* EnsureRoot();
    QTreeWidgetItem* AddProject(const QString& strName);
    // A project named "新建工程", with the root expanded.
    QTreeWidgetItem* AddNewProject();
    QTreeWidgetItem* AddPage(QTreeWidgetItem* project,
                             const QString& strTitle,
                             const QString& strLocalFile,
                             const QString& strUrl,
                             bool bBookmark);
    void CollectProjects(std::vector<CProjectObject>& projects) const;
    // One project with its pages, every bookmark flag left 0.
    void CollectPages(QTreeWidgetItem* project, CProjectObject& object) const;
    // Removes a node with its subtree. Returns the keys of the projects that went with it.
    std::vector<std::uintptr_t> DeleteNode(QTreeWidgetItem* item);
    // Empties the tree; false when it was empty already.
    bool DeleteAll();

    QString GetRootText() const;
    // The selected node (null when none) and whether it is a project.
    QTreeWidgetItem* GetSelection(bool* pIsProject = nullptr) const;
    // The selected project, or the project of the selected page; null for the root or no selection.
    QTreeWidgetItem* GetSelectedProject() const;
    QString GetItemText(const QTreeWidgetItem* item) const;
    void SetItemText(QTreeWidgetItem* item, const QString& strText);
    bool SelectPrevPage(QTreeWidgetItem* item);
    bool SelectNextPage(QTreeWidgetItem* item);
    bool SetBookmark();
    bool ClearBookmark();
    // False when no page is selected; otherwise bBookmarked tells the page's state.
    bool GetBookmarkState(bool& bBookmarked) const;
    QTreeWidgetItem* FindPageByFile(const QString& strPath) const;
    // Selects a node. With bShow false the page is not shown again (it is already in the browser).
    void SelectNode(QTreeWidgetItem* item, bool bShow = true);
    // The browser shows strAddress: a page shown from disk selects its node, without showing it again.
    void SelectPageShownAt(const QString& strAddress);
    void GetNavState(bool& bHasPrev, bool& bHasNext) const;
    bool IsProjectOrPageSelected() const;

    // Every project keeps one key for its life, never reused: download jobs name their project by it.
    std::uintptr_t ProjectKey(const QTreeWidgetItem* project) const;
    QTreeWidgetItem* ProjectByKey(std::uintptr_t key) const;
    QList<QTreeWidgetItem*> Projects() const;
    QString PageUrl(const QTreeWidgetItem* page) const;

    // Which commands of the context menu the frame carries out; the others are left off the menu.
    void SetCommandFilter(std::function<bool(int)> filter) { m_commandFilter = std::move(filter); }
    // The context menu for the current selection, with the states it gives each command. Each action's
    // data is its command id.
    QMenu* CreateContextMenu(QWidget* parent) const;

    static QString RootText();
    static QString NewProjectName();

signals:
    // The user changed the tree (an in-place label edit, a page dragged elsewhere).
    void projectModified();
    // A page was selected and its local copy should be shown.
    void pageSelected(const QString& strLocalFile);
    // A command was chosen from the context menu.
    void commandChosen(int nId);

private:
    void onSelectionChanged();
    void onContextMenu(const QPoint& pos);
    void onLabelEditBegun(QTreeWidgetItem* item);
    void onLabelEditEnded(QTreeWidgetItem* item);
    void forgetPage(QTreeWidgetItem* page);
    void collectPages(const QTreeWidgetItem* project, CProjectObject& object, bool bWithBookmarks) const;

    QHash<QString, QTreeWidgetItem*> m_mapPageByFile;
    CProjectTree* m_wndTree;
    QString m_strOldLabel;
    QString m_strNewLabel;
    bool m_bHasPrevPage = false;
    bool m_bHasNextPage = false;
    bool m_bProjectSelected = false;
    bool m_bShowSelection = true;
    std::uintptr_t m_nNextKey = 1;
    std::function<bool(int)> m_commandFilter;
};
