#include "SizingControlBarCF.h"

#include <QApplication>

#include "ui/BarCaption.h"

CSizingControlBarCF::CSizingControlBarCF(const QString& title, int id, QWidget* parent, QSize defaultSize)
    : CSizingControlBarG(title, id, parent, defaultSize)
{
    caption()->setLook(CBarCaption::Look::Flat);
    connect(qApp, &QApplication::focusChanged, this, &CSizingControlBarCF::updateActive);
}

CSizingControlBarCF::~CSizingControlBarCF() = default;

bool CSizingControlBarCF::isActive() const
{
    return caption()->isActive();
}

void CSizingControlBarCF::updateActive()
{
    const QWidget* focus = QApplication::focusWidget();
    caption()->setActive(focus != nullptr && (focus == this || isAncestorOf(focus)));
}
