#include "ProgStatusBar.h"

#include <QFrame>
#include <QVBoxLayout>

#include "ui/GaugeCtrl.h"

namespace
{
QFrame* makePane(QWidget* parent, const QString& name)
{
    auto* pane = new QFrame(parent);
    pane->setObjectName(name);
    pane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    pane->setFixedWidth(CProgStatusBar::kPaneWidth);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    return pane;
}

CGaugeCtrl* makeGauge(QFrame* pane, const QString& name)
{
    auto* gauge = new CGaugeCtrl(pane);
    gauge->setObjectName(name);
    gauge->setRange(0, 100);
    gauge->setPos(0);
    gauge->hide();
    pane->layout()->addWidget(gauge);
    return gauge;
}
} // namespace

CProgStatusBar::CProgStatusBar(QWidget* parent)
    : QStatusBar(parent)
    , m_pDownloadPane(makePane(this, QStringLiteral("downloadPane")))
    , m_pPagePane(makePane(this, QStringLiteral("pagePane")))
    , m_pDownloadGauge(makeGauge(m_pDownloadPane, QStringLiteral("downloadGauge")))
    , m_pPageGauge(makeGauge(m_pPagePane, QStringLiteral("pageGauge")))
{
    setObjectName(QStringLiteral("statusBar"));
    addPermanentWidget(m_pDownloadPane);
    addPermanentWidget(m_pPagePane);
}

CProgStatusBar::~CProgStatusBar() = default;

QFrame* CProgStatusBar::pane(int index) const
{
    if (index == 1) {
        return m_pDownloadPane;
    }
    if (index == 2) {
        return m_pPagePane;
    }
    return nullptr;
}

void CProgStatusBar::SetDownloadProgress(int percent)
{
    setGauge(m_pDownloadGauge, percent);
}

void CProgStatusBar::SetPageGauge(int percent)
{
    setGauge(m_pPageGauge, percent);
}

void CProgStatusBar::setGauge(CGaugeCtrl* gauge, int percent)
{
    const bool show = percent != 0;
    if (show != gauge->isVisibleTo(this)) {
        // A message left in the pane would otherwise stand beside a gauge it has nothing to do with.
        clearMessage();
        gauge->setVisible(show);
    }
    gauge->setPos(percent);
    if (!show && window() != nullptr) {
        window()->update();
    }
}
