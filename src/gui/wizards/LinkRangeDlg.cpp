#include "wizards/LinkRangeDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CLinkRangeDlg::CLinkRangeDlg(QWidget* parent)
    : QDialog(parent)
    , m_pFrom(new QLineEdit(this))
    , m_pTo(new QLineEdit(this))
{
    setObjectName(QStringLiteral("linkRangeDlg"));
    setWindowTitle(QStringLiteral("设置下载条件"));
    m_pFrom->setObjectName(QStringLiteral("fromEdit"));
    m_pTo->setObjectName(QStringLiteral("toEdit"));

    auto* group = new QGroupBox(QStringLiteral("设置下载网页内链接的起始地址："), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("从:"), group), 0, 0);
    grid->addWidget(m_pFrom, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("到:"), group), 1, 0);
    grid->addWidget(m_pTo, 1, 1);
    auto* hint =
        new QLabel(QStringLiteral("顶层网页内的链接太多，为了更准确的定位您要下载的网页，您可以设置顶层链接内要下"
                                  "载的链接的起始网址。"),
                   group);
    hint->setWordWrap(true);
    grid->addWidget(hint, 2, 0, 1, 2);

    // OK at the right, Cancel to its left, whatever the platform's usual order.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    buttons->addWidget(cancel);
    buttons->addWidget(ok);
    connect(ok, &QPushButton::clicked, this, &CLinkRangeDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CLinkRangeDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setMinimumWidth(440);
}

CLinkRangeDlg::~CLinkRangeDlg() = default;

void CLinkRangeDlg::showEvent(QShowEvent* event)
{
    if (!m_bInitialised) {
        m_bInitialised = true;
        m_pFrom->setText(m_strFromUrl);
        m_pTo->setText(m_strToUrl);
    }
    QDialog::showEvent(event);
}

void CLinkRangeDlg::accept()
{
    m_strFromUrl = m_pFrom->text();
    m_strToUrl = m_pTo->text();
    QDialog::accept();
}
