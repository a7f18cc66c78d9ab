#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QTreeWidget>

class QLabel;

// The tree of the project window: one root, the projects under it and each project's pages under the
// project. A page node carries its local file; its download address is kept in m_mapUrlByNode. Pages
// are moved between projects by dragging them onto a page or a project.
class CProjectTree final : public QTreeWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CProjectTree)

public:
    // Node images; a page's image is also its bookmark flag.
    enum Image
    {
        kImageClosed = 0,
        kImageOpen = 1,
        kImagePage = 2,
        kImageRoot = 3,
        kImageBookmark = 4,
    };
    static constexpr int kControlId = 1000;

    explicit CProjectTree(QWidget* parent = nullptr);
    ~CProjectTree() override;

    void SetImages(const QList<QIcon>& images);
    static int ItemImage(const QTreeWidgetItem* item);
    void SetItemImage(QTreeWidgetItem* item, int image);

    // The first top-level node, or null.
    QTreeWidgetItem* Root() const;
    bool IsRoot(const QTreeWidgetItem* item) const;
    bool IsProject(const QTreeWidgetItem* item) const;
    bool IsPage(const QTreeWidgetItem* item) const;

    // The local file of a page node; empty for any other node.
    static QString ItemPath(const QTreeWidgetItem* item);
    static void SetItemPath(QTreeWidgetItem* item, const QString& strPath);

    // Moves a dragged page as a drop on target does: onto a project it becomes that project's last
    // page, onto a page it follows that page in its project. The moved page loses its bookmark.
    // Dropping on the root, on nothing or on the page itself changes nothing and returns false.
    bool DropPage(QTreeWidgetItem* page, QTreeWidgetItem* target);

    // Forgets a press, drag or label edit in progress (before nodes are deleted under it).
    void CancelInteraction();
    bool IsDragging() const { return m_bDragging; }
    QTreeWidgetItem* DropTarget() const { return m_hDropTarget; }

    QHash<const QTreeWidgetItem*, QString> m_mapUrlByNode;

signals:
    // In-place editing of a node's label began / ended (the label holds the new text, or the old one
    // when the edit was abandoned).
    void labelEditBegun(QTreeWidgetItem* item);
    void labelEditEnded(QTreeWidgetItem* item);
    // A drop moved the page (it may now sit under another project).
    void pageMoved(QTreeWidgetItem* page);
    void projectModified();
    // The page already selected was clicked, or Enter was pressed on it: it should be shown again.
    void pageActivated(QTreeWidgetItem* page);
    // The Delete key on a node.
    void deleteRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void beginDrag(QTreeWidgetItem* item);
    void moveDrag(const QPoint& pos);
    void endDrag();
    void setDropTarget(QTreeWidgetItem* item);
    void syncFolderImage(QTreeWidgetItem* item);
    void autoScroll();

    bool m_bDragging = false;
    QTreeWidgetItem* m_hDropTarget = nullptr;
    QTreeWidgetItem* m_hDragItem = nullptr;
    // The page under a left press that may become a drag, and where the press was.
    QTreeWidgetItem* m_pPressedPage = nullptr;
    QPoint m_ptPress;
    // The node under a left press that was selected already: a click on it shows it again.
    QTreeWidgetItem* m_pPressedSelected = nullptr;
    // Scrolls the tree while a dragged page is held near its top or bottom edge.
    QTimer m_autoScrollTimer;
    QPoint m_ptDrag;
    QLabel* m_pDragImage = nullptr;
    QTreeWidgetItem* m_pEditedItem = nullptr;
    QList<QIcon> m_images;
};
