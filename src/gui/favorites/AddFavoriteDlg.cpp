#include "favorites/AddFavoriteDlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/Text.h"
#include "common/UserPrompts.h"
#include "favorites/BookmarkFile.h"
#include "favorites/FavoriteFolderTree.h"

CAddFavoriteDlg::CAddFavoriteDlg(const QString& strRoot, const QString& strName, CUserPrompts& prompts, QWidget* parent)
    : QDialog(parent)
    , m_prompts(prompts)
    , m_pName(new QLineEdit(strName, this))
    , m_pFolders(new CFavoriteFolderTree(strRoot, this))
    , m_pNewFolder(new QPushButton(QStringLiteral("新建文件夹(&W)..."), this))
{
    setObjectName(QStringLiteral("addFavoriteDlg"));
    setWindowTitle(QStringLiteral("添加到收藏夹"));
    m_strName = strName;
    m_strFolder = strRoot;
    m_pName->setObjectName(QStringLiteral("favoriteName"));
    m_pFolders->setObjectName(QStringLiteral("favoriteFolders"));
    m_pNewFolder->setObjectName(QStringLiteral("newFolderButton"));
    m_pName->selectAll();

    auto* pButtons = new QDialogButtonBox(this);
    QPushButton* pOk = pButtons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    pButtons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    pButtons->addButton(m_pNewFolder, QDialogButtonBox::ActionRole);
    pOk->setDefault(true);
    connect(pButtons, &QDialogButtonBox::accepted, this, &CAddFavoriteDlg::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CAddFavoriteDlg::reject);
    connect(m_pNewFolder, &QPushButton::clicked, this, &CAddFavoriteDlg::onNewFolder);

    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("名称(&N):"), m_pName);
    pForm->addRow(QStringLiteral("创建到(&I):"), m_pFolders);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(new QLabel(QStringLiteral("Trawlix 将把该页添加到您的收藏夹。"), this));
    pLayout->addLayout(pForm);
    pLayout->addWidget(pButtons);
    resize(420, 360);
}

CAddFavoriteDlg::~CAddFavoriteDlg() = default;

void CAddFavoriteDlg::accept()
{
    if (m_pName->text().trimmed().isEmpty()) {
        m_prompts.messageBox(this, QMessageBox::NoIcon, windowTitle(), QStringLiteral("名称不能为空。"),
                             QMessageBox::Ok);
        return;
    }
    m_strName = m_pName->text().trimmed();
    m_strFolder = m_pFolders->SelectedFolder();
    QDialog::accept();
}

void CAddFavoriteDlg::onNewFolder()
{
    QInputDialog input(this);
    input.setObjectName(QStringLiteral("newFolderInput"));
    input.setWindowTitle(QStringLiteral("新建文件夹"));
    input.setLabelText(QStringLiteral("文件夹名称:"));
    input.setTextValue(QStringLiteral("新建文件夹"));
    input.setOkButtonText(QStringLiteral("确定"));
    input.setCancelButtonText(QStringLiteral("取消"));
    if (m_prompts.execDialog(input) != QDialog::Accepted) {
        return;
    }
    const QString strName = toQ(favorites::SafeFavoriteName(fromQ(input.textValue()), "新建文件夹"));
    const QString strPath = m_pFolders->SelectedFolder() + QLatin1Char('/') + strName;
    if (!QDir().mkpath(strPath)) {
        m_prompts.messageBox(this, QMessageBox::Warning, windowTitle(),
                             QStringLiteral("无法创建文件夹“%1”。").arg(strPath), QMessageBox::Ok);
        return;
    }
    m_pFolders->Reload(strPath);
}
