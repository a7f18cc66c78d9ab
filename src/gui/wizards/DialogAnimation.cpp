#include "wizards/DialogAnimation.h"

#include <QDialog>
#include <QPropertyAnimation>
#include <QRegion>

CDialogAnimation::CDialogAnimation(QDialog* dialog)
    : QObject(dialog)
    , m_pDialog(dialog)
    , m_pOpen(new QPropertyAnimation(this, "reveal", this))
    , m_pFade(new QPropertyAnimation(dialog, "windowOpacity", this))
{
    m_pOpen->setDuration(kDurationMs);
    m_pOpen->setStartValue(0.05);
    m_pOpen->setEndValue(1.0);
    m_pOpen->setEasingCurve(QEasingCurve::OutCubic);
    m_pFade->setDuration(kDurationMs);
    m_pFade->setStartValue(1.0);
    m_pFade->setEndValue(0.0);
}

CDialogAnimation::~CDialogAnimation() = default;

void CDialogAnimation::Open()
{
    m_bClosing = false;
    m_pFade->stop();
    m_pDialog->setWindowOpacity(1.0);
    if (QWidget* parent = m_pDialog->parentWidget()) {
        const QRect frame = parent->window()->frameGeometry();
        m_pDialog->move(frame.center() - m_pDialog->rect().center());
    }
    setReveal(m_pOpen->startValue().toReal());
    m_pOpen->start();
}

bool CDialogAnimation::Close(std::function<void()> finish)
{
    if (m_bClosing) {
        return false;
    }
    m_bClosing = true;
    m_pOpen->stop();
    setReveal(1.0);
    m_pFade->disconnect(this);
    connect(m_pFade, &QPropertyAnimation::finished, this, [this, finish = std::move(finish)] {
        finish();
        m_pDialog->setWindowOpacity(1.0);
        m_bClosing = false;
    });
    m_pFade->start();
    return true;
}

void CDialogAnimation::setReveal(qreal dReveal)
{
    m_dReveal = dReveal;
    if (dReveal >= 1.0) {
        m_pDialog->clearMask();
        return;
    }
    // The shown part grows from the centre; a window manager without shaped windows shows it whole.
    const QRect all = m_pDialog->rect();
    const int nWidth = qMax(1, static_cast<int>(all.width() * dReveal));
    const int nHeight = qMax(1, static_cast<int>(all.height() * dReveal));
    QRect shown(0, 0, nWidth, nHeight);
    shown.moveCenter(all.center());
    m_pDialog->setMask(QRegion(shown));
}
