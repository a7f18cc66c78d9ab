#pragma once

#include "ui/SizingControlBarG.h"

// A sizing bar whose caption is a flat band with the bar's title, in the active colours while the
// keyboard focus is inside the bar. The project and message windows are such bars.
class CSizingControlBarCF : public CSizingControlBarG
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSizingControlBarCF)

public:
    CSizingControlBarCF(const QString& title, int id, QWidget* parent = nullptr, QSize defaultSize = kDefaultSize);
    ~CSizingControlBarCF() override;

    bool isActive() const;

private:
    void updateActive();
};
