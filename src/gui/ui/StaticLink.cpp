#include "StaticLink.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMouseEvent>
#include <QUrl>

CStaticLink::CStaticLink(const QString& text, const QString& link, QWidget* parent)
    : QLabel(text, parent)
    , m_strLink(link)
{
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
    setColor(kNormalColor);
}

CStaticLink::~CStaticLink() = default;

void CStaticLink::setLink(const QString& link)
{
    m_strLink = link;
}

QString CStaticLink::target() const
{
    return (m_strLink.isEmpty() ? text() : m_strLink).trimmed();
}

bool CStaticLink::openTarget(const QString& target)
{
    const QUrl url = QFileInfo::exists(target) ? QUrl::fromLocalFile(target) : QUrl::fromUserInput(target);
    return url.isValid() && QDesktopServices::openUrl(url);
}

void CStaticLink::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    const QString where = target();
    if (where.isEmpty()) {
        return;
    }
    if (!openTarget(where)) {
        QApplication::beep();
        return;
    }
    m_bVisited = true;
    setColor(kVisitedColor);
    emit linkOpened(where);
}

void CStaticLink::enterEvent(QEnterEvent* event)
{
    QLabel::enterEvent(event);
    setColor(kHoverColor);
}

void CStaticLink::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    setColor(m_bVisited ? kVisitedColor : kNormalColor);
}

void CStaticLink::setColor(const QColor& color)
{
    m_crCurrent = color;
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, color);
    setPalette(colours);
}
