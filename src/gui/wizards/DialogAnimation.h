#pragma once

#include <functional>

#include <QObject>

class QDialog;
class QPropertyAnimation;

// Opens a dialog from its centre outwards and fades it out when it closes, each in half a second.
// The dialog calls Open when it is shown and hands its close to Close.
class CDialogAnimation final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CDialogAnimation)
    // How much of the dialog is shown, from its centre: 0 nothing, 1 all of it.
    Q_PROPERTY(qreal reveal READ reveal WRITE setReveal)

public:
    static constexpr int kDurationMs = 500;

    explicit CDialogAnimation(QDialog* dialog);
    ~CDialogAnimation() override;

    // Centres the dialog on its parent and starts revealing it.
    void Open();
    // Fades the dialog out, then runs finish (which really closes it). False, doing nothing, while a
    // close already runs: the dialog closes once.
    bool Close(std::function<void()> finish);
    bool IsClosing() const { return m_bClosing; }

    qreal reveal() const { return m_dReveal; }
    void setReveal(qreal dReveal);

private:
    QDialog* m_pDialog;
    QPropertyAnimation* m_pOpen;
    QPropertyAnimation* m_pFade;
    qreal m_dReveal = 1.0;
    bool m_bClosing = false;
};
