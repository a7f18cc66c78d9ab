#include "SizingControlBarG.h"

#include "ui/BarCaption.h"

CSizingControlBarG::CSizingControlBarG(const QString& title, int id, QWidget* parent, QSize defaultSize)
    : CSizingControlBar(title, id, parent, defaultSize)
    , m_pCaption(new CBarCaption(CBarCaption::Look::Gripper, this))
{
    setTitleBarWidget(m_pCaption);
    connect(m_pCaption, &CBarCaption::closeClicked, this, &QWidget::hide);
    onDockSideChanged(dockSide());
}

CSizingControlBarG::~CSizingControlBarG() = default;

void CSizingControlBarG::onDockSideChanged(int side)
{
    // Docked at the top or bottom, the caption stands upright at the bar's left so it costs no height.
    const bool upright = side == kDockTop || side == kDockBottom;
    DockWidgetFeatures bits = features();
    bits.setFlag(DockWidgetVerticalTitleBar, upright);
    setFeatures(bits);
    m_pCaption->setVertical(upright);
}
