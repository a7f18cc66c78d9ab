#include "project/ProjectTree.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolTip>

namespace
{
constexpr int kRolePath = Qt::UserRole;
constexpr int kRoleImage = Qt::UserRole + 1;
// A dragged page this close to the top or bottom edge scrolls the tree, one line per tick.
constexpr int kAutoScrollMargin = 20;
constexpr int kAutoScrollInterval = 50;
} // namespace

CProjectTree::CProjectTree(QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("projectTree"));
    setColumnCount(1);
    header()->hide();
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Renaming in place is F2 (or the menu's rename); a click on the selected node shows its page again.
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setExpandsOnDoubleClick(true);

    // A folder shows open while it is expanded; the root keeps its own picture.
    connect(this, &QTreeWidget::itemExpanded, this, &CProjectTree::syncFolderImage);
    connect(this, &QTreeWidget::itemCollapsed, this, &CProjectTree::syncFolderImage);
    m_autoScrollTimer.setInterval(kAutoScrollInterval);
    connect(&m_autoScrollTimer, &QTimer::timeout, this, &CProjectTree::autoScroll);
}

CProjectTree::~CProjectTree() = default;

void CProjectTree::SetImages(const QList<QIcon>& images)
{
    m_images = images;
    QTreeWidgetItemIterator it(this);
    for (; *it; ++it) {
        SetItemImage(*it, ItemImage(*it));
    }
}

int CProjectTree::ItemImage(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kRoleImage).toInt() : -1;
}

void CProjectTree::SetItemImage(QTreeWidgetItem* item, int image)
{
    if (!item) {
        return;
    }
    item->setData(0, kRoleImage, image);
    item->setIcon(0, image >= 0 && image < m_images.size() ? m_images.at(image) : QIcon());
}

QTreeWidgetItem* CProjectTree::Root() const
{
    return topLevelItemCount() > 0 ? topLevelItem(0) : nullptr;
}

bool CProjectTree::IsRoot(const QTreeWidgetItem* item) const
{
    return item && item == Root();
}

bool CProjectTree::IsProject(const QTreeWidgetItem* item) const
{
    return item && item->parent() && item->parent() == Root();
}

bool CProjectTree::IsPage(const QTreeWidgetItem* item) const
{
    return item && item->parent() && IsProject(item->parent());
}

QString CProjectTree::ItemPath(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kRolePath).toString() : QString();
}

void CProjectTree::SetItemPath(QTreeWidgetItem* item, const QString& strPath)
{
    item->setData(0, kRolePath, strPath);
}

bool CProjectTree::DropPage(QTreeWidgetItem* page, QTreeWidgetItem* target)
{
    if (!IsPage(page) || !target || target == page || IsRoot(target)) {
        return false;
    }
    QTreeWidgetItem* newParent = IsProject(target) ? target : target->parent();
    if (!IsProject(newParent)) {
        return false;
    }
    const bool bWasCurrent = currentItem() == page;
    {
        // Keep the selection from wandering to a neighbour (and showing it) while the page is out of the tree.
        const QSignalBlocker blocker(this);
        page->parent()->removeChild(page);
        const int nTarget = newParent->indexOfChild(target);
        if (nTarget >= 0) {
            newParent->insertChild(nTarget + 1, page);
        } else {
            newParent->addChild(page);
        }
        SetItemImage(page, kImagePage);
        if (bWasCurrent) {
            setCurrentItem(page);
        }
    }
    emit pageMoved(page);
    emit projectModified();
    return true;
}

void CProjectTree::mousePressEvent(QMouseEvent* event)
{
    m_pPressedPage = nullptr;
    m_pPressedSelected = nullptr;
    if (event->button() == Qt::LeftButton) {
        QTreeWidgetItem* item = itemAt(event->position().toPoint());
        if (item && item == currentItem() && item->isSelected()) {
            m_pPressedSelected = item;
        }
        if (IsPage(item)) {
            m_pPressedPage = item;
            m_ptPress = event->position().toPoint();
        }
    }
    QTreeWidget::mousePressEvent(event);
}

void CProjectTree::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_bDragging) {
        moveDrag(pos);
        return;
    }
    if (m_pPressedPage) {
        // A press on a page never drags the selection along; past the drag distance it starts a drag.
        if ((pos - m_ptPress).manhattanLength() >= QApplication::startDragDistance()) {
            beginDrag(m_pPressedPage);
            moveDrag(pos);
        }
        return;
    }
    QTreeWidget::mouseMoveEvent(event);
}

void CProjectTree::mouseReleaseEvent(QMouseEvent* event)
{
    m_pPressedPage = nullptr;
    if (!m_bDragging) {
        QTreeWidgetItem* pressed = m_pPressedSelected;
        m_pPressedSelected = nullptr;
        QTreeWidget::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && pressed && IsPage(pressed) &&
            itemAt(event->position().toPoint()) == pressed) {
            emit pageActivated(pressed);
        }
        return;
    }
    QTreeWidgetItem* page = m_hDragItem;
    QTreeWidgetItem* target = m_hDropTarget;
    endDrag();
    DropPage(page, target);
}

void CProjectTree::CancelInteraction()
{
    m_pPressedPage = nullptr;
    m_pPressedSelected = nullptr;
    if (m_bDragging) {
        endDrag();
    }
    m_pEditedItem = nullptr;
}

void CProjectTree::keyPressEvent(QKeyEvent* event)
{
    if (m_bDragging && event->key() == Qt::Key_Escape) {
        endDrag();
        return;
    }
    QTreeWidgetItem* item = currentItem();
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Delete:
            if (item && !m_bDragging) {
                emit deleteRequested();
                return;
            }
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (IsPage(item)) {
                emit pageActivated(item);
                return;
            }
            if (item && item->childCount() > 0) {
                // As a click on the node's expander: the folder picture follows.
                item->setExpanded(!item->isExpanded());
                return;
            }
            break;
        default:
            break;
        }
    }
    QTreeWidget::keyPressEvent(event);
}

bool CProjectTree::viewportEvent(QEvent* event)
{
    // Titles are often wider than the bar: the whole text shows as the node's tool tip.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (const QTreeWidgetItem* item = itemAt(help->pos()); item && !m_bDragging) {
            QToolTip::showText(help->globalPos(), item->text(0), viewport(), visualItemRect(item));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QTreeWidget::viewportEvent(event);
}

bool CProjectTree::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool bEditing = QTreeWidget::edit(index, trigger, event);
    if (bEditing && !m_pEditedItem && trigger != QAbstractItemView::NoEditTriggers) {
        m_pEditedItem = itemFromIndex(index);
        emit labelEditBegun(m_pEditedItem);
    }
    return bEditing;
}

void CProjectTree::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTreeWidget::closeEditor(editor, hint);
    if (QTreeWidgetItem* item = m_pEditedItem) {
        m_pEditedItem = nullptr;
        emit labelEditEnded(item);
    }
}

void CProjectTree::beginDrag(QTreeWidgetItem* item)
{
    m_bDragging = true;
    m_hDragItem = item;
    m_hDropTarget = nullptr;
    // The drag image: the node as the tree draws it, following the cursor.
    m_pDragImage = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
    m_pDragImage->setObjectName(QStringLiteral("projectTreeDragImage"));
    m_pDragImage->setPixmap(viewport()->grab(visualItemRect(item)));
    m_pDragImage->setWindowOpacity(0.7);
    m_pDragImage->adjustSize();
    m_pDragImage->show();
    viewport()->setCursor(Qt::DragMoveCursor);
}

void CProjectTree::moveDrag(const QPoint& pos)
{
    if (m_pDragImage) {
        m_pDragImage->move(viewport()->mapToGlobal(pos) + QPoint(12, 8));
    }
    m_ptDrag = pos;
    const bool bNearEdge = pos.y() < kAutoScrollMargin || pos.y() >= viewport()->height() - kAutoScrollMargin;
    if (bNearEdge && !m_autoScrollTimer.isActive()) {
        m_autoScrollTimer.start();
    } else if (!bNearEdge) {
        m_autoScrollTimer.stop();
    }
    QTreeWidgetItem* item = itemAt(pos);
    if (!item) {
        return;
    }
    setDropTarget(item);
    if (IsProject(item) && !item->isExpanded()) {
        expandItem(item);
    }
}

void CProjectTree::endDrag()
{
    m_autoScrollTimer.stop();
    setDropTarget(nullptr);
    m_bDragging = false;
    m_hDragItem = nullptr;
    delete m_pDragImage;
    m_pDragImage = nullptr;
    viewport()->unsetCursor();
}

void CProjectTree::setDropTarget(QTreeWidgetItem* item)
{
    if (item == m_hDropTarget) {
        return;
    }
    if (m_hDropTarget) {
        m_hDropTarget->setBackground(0, QBrush());
        m_hDropTarget->setForeground(0, QBrush());
    }
    m_hDropTarget = item;
    if (item) {
        item->setBackground(0, palette().brush(QPalette::Highlight));
        item->setForeground(0, palette().brush(QPalette::HighlightedText));
    }
}

void CProjectTree::syncFolderImage(QTreeWidgetItem* item)
{
    if (IsProject(item)) {
        SetItemImage(item, item->isExpanded() ? kImageOpen : kImageClosed);
    }
}

void CProjectTree::autoScroll()
{
    if (!m_bDragging) {
        m_autoScrollTimer.stop();
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    const int nBefore = bar->value();
    if (m_ptDrag.y() < kAutoScrollMargin) {
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (m_ptDrag.y() >= viewport()->height() - kAutoScrollMargin) {
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    if (bar->value() != nBefore) {
        // The node under the held pointer changed with the scroll.
        moveDrag(m_ptDrag);
    }
}
