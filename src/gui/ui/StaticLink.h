#pragma once

#include <QColor>
#include <QLabel>

// A label that opens an address when clicked: blue, red while the mouse is over it, purple once opened.
class CStaticLink : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CStaticLink)

public:
    static constexpr QColor kNormalColor{0, 0, 255};
    static constexpr QColor kHoverColor{255, 0, 0};
    static constexpr QColor kVisitedColor{128, 0, 128};

    // An empty link opens the label's own text.
    explicit CStaticLink(const QString& text = {}, const QString& link = {}, QWidget* parent = nullptr);
    ~CStaticLink() override;

    QString link() const { return m_strLink; }
    void setLink(const QString& link);
    QColor currentColor() const { return m_crCurrent; }
    bool isVisited() const { return m_bVisited; }

    // What a click opens: the link, or the text when there is no link.
    QString target() const;

signals:
    void linkOpened(const QString& target);

protected:
    // Opens the target with the desktop's handler; false when nothing could open it.
    virtual bool openTarget(const QString& target);

    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setColor(const QColor& color);

    QString m_strLink;
    QColor m_crCurrent = kNormalColor;
    bool m_bVisited = false;
};
