#include "browser/BrowserTabRow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

namespace
{
const QColor BAND_COLOR(212, 208, 200);
const QColor SELECTED_FILL(247, 243, 233);
const QColor SELECTED_TEXT(0, 0, 255);
const QColor TAB_TEXT(64, 64, 192);
const QColor MARKER_COLOR(64, 128, 255);
// Room on the right of a tab for its close button.
constexpr int CLOSE_BUTTON_ROOM = 22;
} // namespace

CBrowserTabRow::CBrowserTabRow(QWidget* pParent)
    : QTabBar(pParent)
{
    setObjectName(QStringLiteral("browserTabRow"));
    // Tabs never take the keyboard focus away from the page or the address box.
    setFocusPolicy(Qt::NoFocus);
    setDrawBase(false);
    setExpanding(false);
    setUsesScrollButtons(true);
    setElideMode(Qt::ElideRight);
    setSelectionBehaviorOnRemove(QTabBar::SelectRightTab);
    setTabsClosable(true);
    connect(this, &QTabBar::tabCloseRequested, this, &CBrowserTabRow::closeRequested);

    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(14);
    setFont(font);
}

CBrowserTabRow::~CBrowserTabRow() = default;

int CBrowserTabRow::RowHeight() const
{
    return fontMetrics().height() + 10;
}

QSize CBrowserTabRow::tabSizeHint(int nIndex) const
{
    const int nTextWidth = fontMetrics().horizontalAdvance(tabText(nIndex));
    return {qBound(60, nTextWidth + 24, 260) + CLOSE_BUTTON_ROOM, RowHeight()};
}

void CBrowserTabRow::paintEvent(QPaintEvent* pEvent)
{
    (void)pEvent;
    QPainter painter(this);
    if (count() > 0) {
        painter.fillRect(QRect(0, 0, width() + 4, tabRect(0).height() + 4), BAND_COLOR);
    }
    painter.setFont(font());
    const int nSelected = currentIndex();
    for (int i = 0; i < count(); ++i) {
        const QRect rcItem = tabRect(i);
        if (!rcItem.isValid() || !rcItem.intersects(rect())) {
            continue;
        }
        const bool bSelected = i == nSelected;
        painter.fillRect(rcItem, bSelected ? SELECTED_FILL : BAND_COLOR);
        painter.setPen(bSelected ? SELECTED_TEXT : TAB_TEXT);
        const QRect rcText = rcItem.adjusted(5, 2, -2 - CLOSE_BUTTON_ROOM, 0);
        const QString strText = painter.fontMetrics().elidedText(tabText(i), Qt::ElideRight, rcText.width());
        painter.drawText(rcText, Qt::AlignCenter, strText);
        if (!bSelected) {
            painter.setPen(BAND_COLOR.darker(130));
            painter.drawLine(rcItem.topRight(), rcItem.bottomRight());
        }
    }
    if (m_bDragging && m_rcDropMarker.isValid()) {
        painter.fillRect(m_rcDropMarker, MARKER_COLOR);
    }
}

void CBrowserTabRow::mousePressEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton) {
        m_ptPress = pEvent->position().toPoint();
        m_bPressed = true;
    }
    QTabBar::mousePressEvent(pEvent);
}

void CBrowserTabRow::mouseMoveEvent(QMouseEvent* pEvent)
{
    const QPoint pt = pEvent->position().toPoint();
    if (pEvent->modifiers() == Qt::ControlModifier && !(pEvent->buttons() & Qt::LeftButton)) {
        // Holding Ctrl and pointing at either end of a row too long for the strip scrolls it.
        if (pt.x() < 10) {
            ScrollRow(-1);
        } else if (pt.x() > width() - 60) {
            ScrollRow(1);
        }
    } else if (!(pEvent->buttons() & Qt::LeftButton)) {
        m_bPressed = false;
        if (m_bDragging) {
            EndDrag();
        }
    } else if (m_bDragging) {
        UpdateMarker(pt);
    } else if (m_bPressed && (pt - m_ptPress).manhattanLength() >= QApplication::startDragDistance()) {
        const int nSource = tabAt(m_ptPress);
        if (nSource >= 0) {
            m_nDragSource = nSource;
            m_nDragTarget = nSource;
            m_rcDropMarker = QRect();
            m_bDragging = true;
            setCursor(Qt::SizeAllCursor);
            UpdateMarker(pt);
        }
    }
    QTabBar::mouseMoveEvent(pEvent);
}

void CBrowserTabRow::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::MiddleButton) {
        const int nIndex = tabAt(pEvent->position().toPoint());
        if (nIndex >= 0) {
            emit closeRequested(nIndex);
            return;
        }
    }
    const bool bDrop = m_bDragging && pEvent->button() == Qt::LeftButton;
    const int nFrom = m_nDragSource;
    const int nTo = m_nDragTarget;
    if (pEvent->button() == Qt::LeftButton) {
        m_bPressed = false;
        if (m_bDragging) {
            EndDrag();
        }
    }
    QTabBar::mouseReleaseEvent(pEvent);
    if (bDrop && nFrom != nTo) {
        emit moveRequested(nFrom, nTo);
    }
}

void CBrowserTabRow::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    if (pEvent->button() == Qt::LeftButton) {
        m_bPressed = false;
        emit closeSelectedRequested();
        return;
    }
    QTabBar::mouseDoubleClickEvent(pEvent);
}

void CBrowserTabRow::contextMenuEvent(QContextMenuEvent* pEvent)
{
    emit menuRequested(pEvent->pos(), pEvent->globalPos());
}

void CBrowserTabRow::UpdateMarker(const QPoint& pt)
{
    const int nHit = tabAt(pt);
    if (nHit >= 0) {
        m_nDragTarget = nHit;
    }
    // A bar two pixels wide on the left edge of the tab under the pointer.
    const QRect rcItem = nHit >= 0 ? tabRect(nHit) : QRect();
    const QRect rcMarker = rcItem.isValid() ? QRect(rcItem.left() - 1, rcItem.top(), 2, rcItem.height()) : QRect();
    if (rcMarker != m_rcDropMarker) {
        if (m_rcDropMarker.isValid()) {
            update(m_rcDropMarker.adjusted(-1, 0, 1, 0));
        }
        m_rcDropMarker = rcMarker;
        if (m_rcDropMarker.isValid()) {
            update(m_rcDropMarker.adjusted(-1, 0, 1, 0));
        }
    }
}

void CBrowserTabRow::EndDrag()
{
    m_bDragging = false;
    unsetCursor();
    if (m_rcDropMarker.isValid()) {
        update(m_rcDropMarker.adjusted(-1, 0, 1, 0));
    }
    m_rcDropMarker = QRect();
}

void CBrowserTabRow::ScrollRow(int nStep)
{
    // The row's own scroll arrows only exist while the tabs do not fit.
    const QString strName = nStep < 0 ? QStringLiteral("ScrollLeftButton") : QStringLiteral("ScrollRightButton");
    auto* pButton = findChild<QToolButton*>(strName);
    if (pButton && pButton->isVisible() && pButton->isEnabled()) {
        pButton->click();
    }
}
