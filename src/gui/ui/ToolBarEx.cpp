#include "ToolBarEx.h"

CToolBarEx::CToolBarEx(const QString& title, QWidget* parent)
    : CDropDownToolBar(title, parent)
{
    setToolButtonStyle(Qt::ToolButtonIconOnly);
}

CToolBarEx::~CToolBarEx() = default;
