#pragma once

#include "ui/DropDownToolBar.h"

// The frame's toolbars: drop-down buttons and command pictures, flat buttons and no close box when floating.
class CToolBarEx final : public CDropDownToolBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CToolBarEx)

public:
    explicit CToolBarEx(const QString& title, QWidget* parent = nullptr);
    ~CToolBarEx() override;
};
