#include "favorites/ChooseFavoriteFolderDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "favorites/FavoriteFolderTree.h"

CChooseFavoriteFolderDlg::CChooseFavoriteFolderDlg(const QString& strRoot, QWidget* parent)
    : QDialog(parent)
    , m_pFolders(new CFavoriteFolderTree(strRoot, this))
{
    setObjectName(QStringLiteral("chooseFavoriteFolderDlg"));
    setWindowTitle(QStringLiteral("浏览文件夹"));
    m_pFolders->setObjectName(QStringLiteral("favoriteFolders"));
    auto* pButtons = new QDialogButtonBox(this);
    pButtons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole)->setDefault(true);
    pButtons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CChooseFavoriteFolderDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CChooseFavoriteFolderDlg::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(new QLabel(QStringLiteral("选择目标文件夹:"), this));
    pLayout->addWidget(m_pFolders);
    pLayout->addWidget(pButtons);
    resize(320, 360);
}

CChooseFavoriteFolderDlg::~CChooseFavoriteFolderDlg() = default;

void CChooseFavoriteFolderDlg::accept()
{
    m_strFolder = m_pFolders->SelectedFolder();
    QDialog::accept();
}
