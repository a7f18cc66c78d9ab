#pragma once

#include <QDockWidget>
#include <QSize>
#include <QString>

// A docking bar that remembers one size for each way it can sit in the frame: docked at the top or
// bottom, docked at the left or right, and floating. Moving the bar between these restores the size it
// last had there; the sizes can be kept in the settings between runs.
class CSizingControlBar : public QDockWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSizingControlBar)

public:
    // Where the bar sits, named by the ids the frame's dock sites have always had.
    static constexpr int kDockTop = 59419;
    static constexpr int kDockLeft = 59420;
    static constexpr int kDockRight = 59421;
    static constexpr int kDockBottom = 59422;
    static constexpr int kDockFloating = 59423;

    static constexpr QSize kDefaultSize{200, 200};
    static constexpr QSize kMinHorzSize{33, 32};
    static constexpr QSize kMinVertSize{33, 32};
    static constexpr QSize kMinFloatSize{37, 32};

    CSizingControlBar(const QString& title, int id, QWidget* parent = nullptr, QSize defaultSize = kDefaultSize);
    ~CSizingControlBar() override;

    int barId() const { return m_nId; }

    // One of the kDock* ids; a bar outside any main window counts as docked at the left.
    int dockSide() const;
    bool IsHorzDocked() const;
    bool IsVertDocked() const;

    QSize sizeHorz() const { return m_szHorz; }
    QSize sizeVert() const { return m_szVert; }
    QSize sizeFloat() const { return m_szFloat; }
    // Sizes below the minimum of their state are raised to it. Setting the size of the state the bar is
    // in now also resizes the bar.
    void setSizeHorz(QSize size);
    void setSizeVert(QSize size);
    void setSizeFloat(QSize size);

    // The one widget that fills the bar below its caption; the bar takes ownership.
    void setClientWidget(QWidget* widget);
    QWidget* clientWidget() const { return widget(); }

    // Read and write the three sizes under "<profile>-SCBar-<id>" in the program's settings.
    void LoadBarSizes(const QString& profile);
    void SaveBarSizes(const QString& profile) const;
    static QString settingsGroup(const QString& profile, int id);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The bar moved to another kind of place (top/bottom, left/right or floating).
    void dockSideChanged(int side);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Called after the bar has moved to another side, so a caption can turn with it.
    virtual void onDockSideChanged(int side);

private:
    QSize& sizeForSide(int side);
    QSize minimumForSide(int side) const;
    void checkSide();
    void applySizeForSide();

    int m_nId;
    QSize m_szHorz;
    QSize m_szVert;
    QSize m_szFloat;
    // 0 until the bar has first been placed.
    int m_nLastSide = 0;
    bool m_bApplying = false;
};
