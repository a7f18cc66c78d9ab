#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

// Limits a top-page job to the links from a first to a last link address. Either may stay empty.
class CLinkRangeDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CLinkRangeDlg)

public:
    explicit CLinkRangeDlg(QWidget* parent = nullptr);
    ~CLinkRangeDlg() override;

    // Set before running the dialog; after OK they hold what the boxes held. Cancel leaves them alone.
    QString m_strFromUrl;
    QString m_strToUrl;

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_pFrom;
    QLineEdit* m_pTo;
    bool m_bInitialised = false;
};
