#pragma once

#include <QStatusBar>

class CGaugeCtrl;
class QFrame;

// The frame's status bar: the stretching message pane, then two panes of 100 pixels. Pane 1 shows the
// download's progress, pane 2 the page being loaded; each gauge is hidden while its value is 0.
class CProgStatusBar final : public QStatusBar
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CProgStatusBar)

public:
    static constexpr int kDownloadGaugeId = 13369;
    static constexpr int kPageGaugeId = 13370;
    static constexpr int kDownloadPaneId = 61470; // 0xF01E
    static constexpr int kPagePaneId = 61469;     // 0xF01D
    static constexpr int kPaneWidth = 100;

    explicit CProgStatusBar(QWidget* parent = nullptr);
    ~CProgStatusBar() override;

    void SetDownloadProgress(int percent);
    void SetPageGauge(int percent);

    CGaugeCtrl* downloadGauge() const { return m_pDownloadGauge; }
    CGaugeCtrl* pageGauge() const { return m_pPageGauge; }
    // Pane 1 or 2 (the message pane 0 is the status bar's own message).
    QFrame* pane(int index) const;

private:
    void setGauge(CGaugeCtrl* gauge, int percent);

    QFrame* m_pDownloadPane;
    QFrame* m_pPagePane;
    CGaugeCtrl* m_pDownloadGauge;
    CGaugeCtrl* m_pPageGauge;
};
