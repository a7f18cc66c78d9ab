#include "wizards/RenameDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CRenameDlg::CRenameDlg(QWidget* parent)
    : QDialog(parent)
    , m_pEdit(new QLineEdit(this))
{
    setObjectName(QStringLiteral("renameDlg"));
    setWindowTitle(QStringLiteral("改名"));
    m_pEdit->setObjectName(QStringLiteral("nameEdit"));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CRenameDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CRenameDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("输入一个新名字:"), this));
    layout->addWidget(m_pEdit);
    layout->addWidget(buttons);
    setMinimumWidth(260);
}

CRenameDlg::~CRenameDlg() = default;

void CRenameDlg::accept()
{
    m_strName = m_pEdit->text();
    QDialog::accept();
}
