#pragma once

#include <QAbstractButton>
#include <QWidget>

// The small square button in a bar's caption that hides the bar.
class CBarCloseButton final : public QAbstractButton
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CBarCloseButton)

public:
    static constexpr int kSize = 11;

    explicit CBarCloseButton(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
};

// The caption band of a sizing bar: either a gripper of two raised lines or a flat coloured band with the
// bar's title, and the close button. When the bar is docked at the top or bottom the band stands upright
// at the bar's left and the title reads from bottom to top.
class CBarCaption final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CBarCaption)

public:
    enum class Look
    {
        Gripper,
        Flat
    };

    explicit CBarCaption(Look look, QWidget* bar);

    Look look() const { return m_look; }
    void setLook(Look look);
    bool isVertical() const { return m_bVertical; }
    void setVertical(bool vertical);
    bool isActive() const { return m_bActive; }
    void setActive(bool active);
    bool hasGradient() const { return m_bGradient; }
    void setGradient(bool gradient);

    CBarCloseButton* closeButton() const { return m_pClose; }
    // The band that carries the gripper lines or the title, in this widget's coordinates.
    QRect bandRect() const;
    QColor bandColor() const;
    QColor bandEndColor() const;
    QColor titleColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void closeClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    int thickness() const;
    QFont titleFont() const;
    void placeCloseButton();

    Look m_look;
    bool m_bVertical = false;
    bool m_bActive = false;
    bool m_bGradient = true;
    CBarCloseButton* m_pClose;
};
