#pragma once

#include <QPoint>
#include <QRect>
#include <QTabBar>

// The row of tabs at the top of the tab strip: draws its tabs itself, moves a tab by dragging it onto
// another (a thin blue bar marks where it will land), closes the selected tab on a double click and a
// tab by its close button or a middle click, and offers the tab menu.
class CBrowserTabRow final : public QTabBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CBrowserTabRow)

public:
    explicit CBrowserTabRow(QWidget* pParent);
    ~CBrowserTabRow() override;

    // The marker of a drag in progress; an invalid rectangle when none is drawn.
    QRect DropMarker() const { return m_rcDropMarker; }
    bool IsDragging() const { return m_bDragging; }
    // Height of the row, with or without tabs.
    int RowHeight() const;

signals:
    // A double click anywhere on the row: close the selected tab.
    void closeSelectedRequested();
    // The close button of tab nIndex, or a middle click on it.
    void closeRequested(int nIndex);
    // The tab at nFrom was dropped on the tab at nTo.
    void moveRequested(int nFrom, int nTo);
    // A context-menu request at a point of the row.
    void menuRequested(const QPoint& ptLocal, const QPoint& ptGlobal);

protected:
    QSize tabSizeHint(int nIndex) const override;
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void contextMenuEvent(QContextMenuEvent* pEvent) override;

private:
    void UpdateMarker(const QPoint& pt);
    void EndDrag();
    void ScrollRow(int nStep);

    QPoint m_ptPress;
    bool m_bPressed = false;
    int m_nDragSource = -1;
    int m_nDragTarget = -1;
    bool m_bDragging = false;
    QRect m_rcDropMarker;
};
