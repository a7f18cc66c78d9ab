#pragma once

#include "ui/SizingControlBar.h"

class CBarCaption;

// A sizing bar with a gripper band and a close button that hides the bar.
class CSizingControlBarG : public CSizingControlBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSizingControlBarG)

public:
    static constexpr int kGripperSize = 12;

    CSizingControlBarG(const QString& title, int id, QWidget* parent = nullptr, QSize defaultSize = kDefaultSize);
    ~CSizingControlBarG() override;

    CBarCaption* caption() const { return m_pCaption; }

protected:
    void onDockSideChanged(int side) override;

private:
    CBarCaption* m_pCaption;
};
