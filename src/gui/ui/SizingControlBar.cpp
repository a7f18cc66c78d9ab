#include "SizingControlBar.h"

#include <algorithm>

#include <QMainWindow>
#include <QResizeEvent>
#include <QSettings>
#include <QShowEvent>

#include "common/AppInfo.h"

namespace
{
QSize atLeast(QSize size, QSize minimum)
{
    return size.expandedTo(minimum);
}
} // namespace

CSizingControlBar::CSizingControlBar(const QString& title, int id, QWidget* parent, QSize defaultSize)
    : QDockWidget(title, parent)
    , m_nId(id)
    , m_szHorz(defaultSize)
    , m_szVert(defaultSize)
    , m_szFloat(defaultSize)
{
    setObjectName(QStringLiteral("SCBar-%1").arg(id));
    connect(this, &QDockWidget::dockLocationChanged, this, &CSizingControlBar::checkSide);
    connect(this, &QDockWidget::topLevelChanged, this, &CSizingControlBar::checkSide);
}

CSizingControlBar::~CSizingControlBar() = default;

int CSizingControlBar::dockSide() const
{
    if (isFloating()) {
        return kDockFloating;
    }
    const auto* frame = qobject_cast<const QMainWindow*>(parentWidget());
    if (frame == nullptr) {
        return kDockLeft;
    }
    switch (frame->dockWidgetArea(const_cast<CSizingControlBar*>(this))) {
    case Qt::TopDockWidgetArea:
        return kDockTop;
    case Qt::BottomDockWidgetArea:
        return kDockBottom;
    case Qt::RightDockWidgetArea:
        return kDockRight;
    default:
        return kDockLeft;
    }
}

bool CSizingControlBar::IsHorzDocked() const
{
    const int side = dockSide();
    return side == kDockTop || side == kDockBottom;
}

bool CSizingControlBar::IsVertDocked() const
{
    const int side = dockSide();
    return side == kDockLeft || side == kDockRight;
}

QSize& CSizingControlBar::sizeForSide(int side)
{
    if (side == kDockTop || side == kDockBottom) {
        return m_szHorz;
    }
    if (side == kDockFloating) {
        return m_szFloat;
    }
    return m_szVert;
}

QSize CSizingControlBar::minimumForSide(int side) const
{
    if (side == kDockTop || side == kDockBottom) {
        return kMinHorzSize;
    }
    if (side == kDockFloating) {
        return kMinFloatSize;
    }
    return kMinVertSize;
}

void CSizingControlBar::setSizeHorz(QSize size)
{
    m_szHorz = atLeast(size, kMinHorzSize);
    if (IsHorzDocked()) {
        applySizeForSide();
    }
}

void CSizingControlBar::setSizeVert(QSize size)
{
    m_szVert = atLeast(size, kMinVertSize);
    if (IsVertDocked()) {
        applySizeForSide();
    }
}

void CSizingControlBar::setSizeFloat(QSize size)
{
    m_szFloat = atLeast(size, kMinFloatSize);
    if (isFloating()) {
        applySizeForSide();
    }
}

void CSizingControlBar::setClientWidget(QWidget* widget)
{
    setWidget(widget);
}

QString CSizingControlBar::settingsGroup(const QString& profile, int id)
{
    return QStringLiteral("%1-SCBar-%2").arg(profile).arg(id);
}

void CSizingControlBar::LoadBarSizes(const QString& profile)
{
    QSettings settings(appinfo::organization(), appinfo::application());
    settings.beginGroup(settingsGroup(profile, m_nId));
    const auto read = [&settings](const QString& keyCX, const QString& keyCY, QSize current, QSize minimum) {
        const int cx = settings.value(keyCX, current.width()).toInt();
        const int cy = settings.value(keyCY, current.height()).toInt();
        return atLeast(QSize(cx, cy), minimum);
    };
    m_szHorz = read(QStringLiteral("sizeHorzCX"), QStringLiteral("sizeHorzCY"), m_szHorz, kMinHorzSize);
    m_szVert = read(QStringLiteral("sizeVertCX"), QStringLiteral("sizeVertCY"), m_szVert, kMinVertSize);
    m_szFloat = read(QStringLiteral("sizeFloatCX"), QStringLiteral("sizeFloatCY"), m_szFloat, kMinFloatSize);
    settings.endGroup();
    applySizeForSide();
}

void CSizingControlBar::SaveBarSizes(const QString& profile) const
{
    QSettings settings(appinfo::organization(), appinfo::application());
    settings.beginGroup(settingsGroup(profile, m_nId));
    settings.setValue(QStringLiteral("sizeHorzCX"), m_szHorz.width());
    settings.setValue(QStringLiteral("sizeHorzCY"), m_szHorz.height());
    settings.setValue(QStringLiteral("sizeVertCX"), m_szVert.width());
    settings.setValue(QStringLiteral("sizeVertCY"), m_szVert.height());
    settings.setValue(QStringLiteral("sizeFloatCX"), m_szFloat.width());
    settings.setValue(QStringLiteral("sizeFloatCY"), m_szFloat.height());
    settings.endGroup();
}

QSize CSizingControlBar::sizeHint() const
{
    return const_cast<CSizingControlBar*>(this)->sizeForSide(dockSide());
}

QSize CSizingControlBar::minimumSizeHint() const
{
    return minimumForSide(dockSide()).expandedTo(QDockWidget::minimumSizeHint());
}

void CSizingControlBar::resizeEvent(QResizeEvent* event)
{
    QDockWidget::resizeEvent(event);
    checkSide();
    // Sizes the layout gives the bar while it changes place belong to no state; only a resize while the
    // bar stays where it is (the user dragging an edge or the floating frame) is remembered.
    if (!m_bApplying && m_nLastSide != 0 && isVisible()) {
        sizeForSide(m_nLastSide) = atLeast(event->size(), minimumForSide(m_nLastSide));
    }
}

void CSizingControlBar::onDockSideChanged(int side) {}

void CSizingControlBar::checkSide()
{
    const int side = dockSide();
    if (side == m_nLastSide) {
        return;
    }
    m_nLastSide = side;
    m_bApplying = true;
    onDockSideChanged(side);
    emit dockSideChanged(side);
    // The layout settles the bar's new place after this returns; the remembered size goes on top of it.
    QMetaObject::invokeMethod(this, &CSizingControlBar::applySizeForSide, Qt::QueuedConnection);
}

void CSizingControlBar::showEvent(QShowEvent* event)
{
    QDockWidget::showEvent(event);
    // A bar shown again (or first shown after its sizes were loaded) comes back at its remembered size.
    if (m_nLastSide != 0 && !event->spontaneous()) {
        QMetaObject::invokeMethod(this, &CSizingControlBar::applySizeForSide, Qt::QueuedConnection);
    }
}

void CSizingControlBar::applySizeForSide()
{
    if (m_nLastSide == 0 || !isVisible()) {
        // A hidden bar takes its size when it is shown.
        m_bApplying = false;
        return;
    }
    m_bApplying = true;
    const int side = dockSide();
    const QSize size = sizeForSide(side);
    auto* frame = qobject_cast<QMainWindow*>(parentWidget());
    if (side == kDockFloating) {
        resize(size);
    } else if (frame != nullptr && frame->dockWidgetArea(this) != Qt::NoDockWidgetArea) {
        if (side == kDockTop || side == kDockBottom) {
            frame->resizeDocks({this}, {size.height()}, Qt::Vertical);
        } else {
            frame->resizeDocks({this}, {size.width()}, Qt::Horizontal);
        }
    }
    m_bApplying = false;
}
