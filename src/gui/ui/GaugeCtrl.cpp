#include "GaugeCtrl.h"

#include <algorithm>

#include <QPainter>
#include <QPalette>

CGaugeCtrl::CGaugeCtrl(QWidget* parent)
    : QWidget(parent)
    , m_crBar(palette().color(QPalette::Highlight))
    , m_crBackground(palette().color(QPalette::Base))
    , m_crTextOverBackground(palette().color(QPalette::Highlight))
    , m_crTextOverBar(palette().color(QPalette::Base))
{
    setObjectName(QStringLiteral("gauge"));
    // Every pixel is painted in paintEvent, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CGaugeCtrl::~CGaugeCtrl() = default;

void CGaugeCtrl::setRange(int lower, int upper)
{
    m_nLower = lower;
    m_nUpper = upper;
    m_nLastWidth = -1;
    update();
}

double CGaugeCtrl::fraction() const
{
    if (m_nLower >= m_nUpper) {
        return 0.0;
    }
    const double value = static_cast<double>(m_nPos - m_nLower) / (m_nUpper - m_nLower);
    // A position outside the range draws an empty or full bar, never one past the edge.
    return std::clamp(value, 0.0, 1.0);
}

int CGaugeCtrl::barWidth() const
{
    return static_cast<int>(fraction() * width());
}

int CGaugeCtrl::setPos(int pos)
{
    const int previous = m_nPos;
    m_nPos = pos;
    // Only a change of the drawn width (or of the percentage shown) is worth a repaint.
    const int drawn = barWidth();
    if (drawn != m_nLastWidth || previous != pos) {
        m_nLastWidth = drawn;
        update();
    }
    return previous;
}

void CGaugeCtrl::setText(const QString& text)
{
    if (text != m_strText) {
        m_strText = text;
        update();
    }
}

void CGaugeCtrl::setShowText(bool show)
{
    if (show != m_bShowText) {
        m_bShowText = show;
        update();
    }
}

QString CGaugeCtrl::displayText() const
{
    if (!m_strText.isEmpty()) {
        return m_strText;
    }
    return QStringLiteral("%1%").arg(static_cast<int>(fraction() * 100));
}

void CGaugeCtrl::setBarColor(const QColor& color)
{
    m_crBar = color;
    update();
}

void CGaugeCtrl::setBackgroundColor(const QColor& color)
{
    m_crBackground = color;
    update();
}

void CGaugeCtrl::setTextColors(const QColor& overBackground, const QColor& overBar)
{
    m_crTextOverBackground = overBackground;
    m_crTextOverBar = overBar;
    update();
}

QSize CGaugeCtrl::sizeHint() const
{
    return {100, fontMetrics().height() + 4};
}

void CGaugeCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_nLastWidth = -1;
}

void CGaugeCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_nLower >= m_nUpper) {
        painter.fillRect(rect(), m_crBackground);
        return;
    }
    const QRect whole = rect();
    const QRect bar(whole.left(), whole.top(), barWidth(), whole.height());
    const QRect rest(bar.right() + 1, whole.top(), whole.width() - bar.width(), whole.height());
    painter.fillRect(bar, m_crBar);
    painter.fillRect(rest, m_crBackground);
    if (!m_bShowText) {
        return;
    }
    // The text is drawn twice over the whole gauge, each time clipped to one part, so a letter that
    // straddles the bar's end changes colour exactly there.
    const QString text = displayText();
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    painter.setClipRect(bar);
    painter.setPen(m_crTextOverBar);
    painter.drawText(whole, flags, text);
    painter.setClipRect(rest);
    painter.setPen(m_crTextOverBackground);
    painter.drawText(whole, flags, text);
}
