#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

// A flat percentage gauge: a bar filling from the left, with the percentage (or a text of the caller's)
// centred on it, drawn in the bar's colour over the background and in the background's colour over the bar.
class CGaugeCtrl final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CGaugeCtrl)

public:
    explicit CGaugeCtrl(QWidget* parent = nullptr);
    ~CGaugeCtrl() override;

    void setRange(int lower, int upper);
    int lower() const { return m_nLower; }
    int upper() const { return m_nUpper; }
    // Returns the previous position.
    int setPos(int pos);
    int pos() const { return m_nPos; }

    // A non-empty text is shown instead of the percentage.
    void setText(const QString& text);
    QString text() const { return m_strText; }
    void setShowText(bool show);
    bool showsText() const { return m_bShowText; }
    // What the gauge shows at its position: the text, or the percentage.
    QString displayText() const;

    // Width in pixels the bar covers at the current position and size.
    int barWidth() const;

    void setBarColor(const QColor& color);
    void setBackgroundColor(const QColor& color);
    void setTextColors(const QColor& overBackground, const QColor& overBar);
    QColor barColor() const { return m_crBar; }
    QColor backgroundColor() const { return m_crBackground; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    double fraction() const;

    int m_nPos = 0;
    int m_nUpper = 100;
    int m_nLower = 0;
    QString m_strText;
    bool m_bShowText = true;
    int m_nLastWidth = -1;
    QColor m_crBar;
    QColor m_crBackground;
    QColor m_crTextOverBackground;
    QColor m_crTextOverBar;
};
