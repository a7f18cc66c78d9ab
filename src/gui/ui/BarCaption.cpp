#include "BarCaption.h"

#include <algorithm>

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <qdrawutil.h>

namespace
{
constexpr int kMargin = 2;
// Room between the band and the close button.
constexpr int kGap = 3;
constexpr int kMinBand = 13;
} // namespace

CBarCloseButton::CBarCloseButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setObjectName(QStringLiteral("closeButton"));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_Hover);
    setToolTip(QStringLiteral("隐藏"));
}

QSize CBarCloseButton::sizeHint() const
{
    return {kSize, kSize};
}

void CBarCloseButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect box = rect();
    if (isDown()) {
        qDrawShadePanel(&painter, box, palette(), true, 1);
    } else if (underMouse()) {
        qDrawShadePanel(&painter, box, palette(), false, 1);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::ButtonText), 1.4));
    const QRectF cross = QRectF(box).adjusted(3, 3, -3, -3).translated(isDown() ? 0.5 : 0.0, isDown() ? 0.5 : 0.0);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
}

void CBarCloseButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    update();
}

void CBarCloseButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    update();
}

CBarCaption::CBarCaption(Look look, QWidget* bar)
    : QWidget(bar)
    , m_look(look)
    , m_pClose(new CBarCloseButton(this))
{
    setObjectName(QStringLiteral("barCaption"));
    connect(m_pClose, &QAbstractButton::clicked, this, &CBarCaption::closeClicked);
    if (bar != nullptr) {
        connect(bar, &QWidget::windowTitleChanged, this, qOverload<>(&QWidget::update));
    }
}

void CBarCaption::setLook(Look look)
{
    if (m_look != look) {
        m_look = look;
        updateGeometry();
        update();
    }
}

void CBarCaption::setVertical(bool vertical)
{
    if (m_bVertical != vertical) {
        m_bVertical = vertical;
        placeCloseButton();
        updateGeometry();
        update();
    }
}

void CBarCaption::setActive(bool active)
{
    if (m_bActive != active) {
        m_bActive = active;
        update();
    }
}

void CBarCaption::setGradient(bool gradient)
{
    if (m_bGradient != gradient) {
        m_bGradient = gradient;
        update();
    }
}

QFont CBarCaption::titleFont() const
{
    QFont font = this->font();
    font.setPointSizeF(std::max(font.pointSizeF() * 0.95, 8.5));
    return font;
}

int CBarCaption::thickness() const
{
    return std::max({kMinBand, QFontMetrics(titleFont()).height() + 1, CBarCloseButton::kSize + 2});
}

QSize CBarCaption::sizeHint() const
{
    const int across = thickness() + 2 * kMargin;
    const int along = CBarCloseButton::kSize + kGap + 2 * kMargin + 20;
    return m_bVertical ? QSize(across, along) : QSize(along, across);
}

QSize CBarCaption::minimumSizeHint() const
{
    return sizeHint();
}

QRect CBarCaption::bandRect() const
{
    const QRect close = m_pClose->geometry();
    const int band = thickness();
    if (m_bVertical) {
        const int top = close.bottom() + 1 + kGap;
        return {kMargin, top, band, std::max(0, height() - kMargin - top)};
    }
    return {kMargin, kMargin, std::max(0, close.left() - kGap - kMargin), band};
}

void CBarCaption::placeCloseButton()
{
    const int size = CBarCloseButton::kSize;
    const int offset = kMargin + (thickness() - size) / 2;
    if (m_bVertical) {
        m_pClose->setGeometry(offset, kMargin, size, size);
    } else {
        m_pClose->setGeometry(width() - kMargin - size, offset, size, size);
    }
}

void CBarCaption::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeCloseButton();
}

bool CBarCaption::event(QEvent* event)
{
    if (event->type() == QEvent::FontChange) {
        placeCloseButton();
        updateGeometry();
    }
    return QWidget::event(event);
}

QColor CBarCaption::bandColor() const
{
    return m_bActive ? palette().color(QPalette::Active, QPalette::Highlight) : palette().color(QPalette::Mid);
}

QColor CBarCaption::bandEndColor() const
{
    return m_bActive ? bandColor().lighter(160) : palette().color(QPalette::Midlight);
}

QColor CBarCaption::titleColor() const
{
    return m_bActive ? palette().color(QPalette::Active, QPalette::HighlightedText)
                     : palette().color(QPalette::WindowText);
}

void CBarCaption::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const QRect band = bandRect();
    if (band.isEmpty()) {
        return;
    }

    if (m_look == Look::Gripper) {
        // Two raised lines, three pixels each, side by side along the band.
        const int centre = m_bVertical ? band.center().x() : band.center().y();
        for (int line = 0; line < 2; ++line) {
            const int start = centre - 3 + line * 3;
            const QRect ridge =
                m_bVertical ? QRect(start, band.top(), 3, band.height()) : QRect(band.left(), start, band.width(), 3);
            qDrawShadePanel(&painter, ridge, palette(), false, 1);
        }
        return;
    }

    if (m_bGradient) {
        // From the caption colour at the title's start to the lighter end colour.
        QLinearGradient gradient = m_bVertical ? QLinearGradient(band.bottomLeft(), band.topLeft())
                                               : QLinearGradient(band.topLeft(), band.topRight());
        gradient.setColorAt(0, bandColor());
        gradient.setColorAt(1, bandEndColor());
        painter.fillRect(band, gradient);
    } else {
        painter.fillRect(band, bandColor());
    }

    const QString title = parentWidget() != nullptr ? parentWidget()->windowTitle() : QString();
    painter.setClipRect(band);
    painter.setFont(titleFont());
    painter.setPen(titleColor());
    QRect textBox(0, 0, m_bVertical ? band.height() : band.width(), m_bVertical ? band.width() : band.height());
    if (m_bVertical) {
        painter.translate(band.left(), band.bottom() + 1);
        painter.rotate(-90);
    } else {
        painter.translate(band.topLeft());
    }
    const QFontMetrics metrics(painter.font());
    const QString shown = metrics.elidedText(title, Qt::ElideRight, std::max(0, textBox.width() - 6));
    painter.drawText(textBox.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}
