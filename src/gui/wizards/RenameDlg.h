#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

// Asks for a new name for a project tree node. The box starts empty.
class CRenameDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CRenameDlg)

public:
    static constexpr int kNameEditId = 1001;

    explicit CRenameDlg(QWidget* parent = nullptr);
    ~CRenameDlg() override;

    QLineEdit* NameEdit() const { return m_pEdit; }

    QString m_strName;

public slots:
    void accept() override;

private:
    QLineEdit* m_pEdit;
};
