#include "favorites/OrganizeFavoritesDlg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/Text.h"
#include "common/UserPrompts.h"
#include "favorites/BookmarkFile.h"
#include "favorites/ChooseFavoriteFolderDlg.h"
#include "favorites/FavoritesFolder.h"
#include "favorites/FavoritesMenu.h"
#include "favorites/MenuOrder.h"
#include "favorites/OrderRecordStore.h"

namespace
{
constexpr int kMaxDepth = 32;

// The ending a favorite file keeps through a rename, as it is spelled on disk.
QString endingOf(const QString& strName)
{
    switch (favorites::KindOfFileName(fromQ(strName))) {
    case favorites::FileKind::InternetShortcut:
        return strName.right(4);
    case favorites::FileKind::DesktopEntry:
        return strName.right(8);
    case favorites::FileKind::None:
        break;
    }
    return {};
}
} // namespace

COrganizeFavoritesDlg::COrganizeFavoritesDlg(QString strRoot, CUserPrompts& prompts, QWidget* parent)
    : QDialog(parent)
    , m_strRoot(std::move(strRoot))
    , m_prompts(prompts)
    , m_pTree(new QTreeWidget(this))
    , m_pNewFolder(new QPushButton(QStringLiteral("新建文件夹(&C)"), this))
    , m_pRename(new QPushButton(QStringLiteral("重命名(&R)"), this))
    , m_pMove(new QPushButton(QStringLiteral("移至文件夹(&M)..."), this))
    , m_pDelete(new QPushButton(QStringLiteral("删除(&D)"), this))
    , m_pUp(new QPushButton(QStringLiteral("上移(&U)"), this))
    , m_pDown(new QPushButton(QStringLiteral("下移(&O)"), this))
{
    setObjectName(QStringLiteral("organizeFavoritesDlg"));
    setWindowTitle(QStringLiteral("整理收藏夹"));
    m_pTree->setObjectName(QStringLiteral("favoritesTree"));
    m_pTree->setHeaderHidden(true);
    m_pTree->setIconSize(QSize(16, 16));
    m_pTree->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_pNewFolder->setObjectName(QStringLiteral("newFolderButton"));
    m_pRename->setObjectName(QStringLiteral("renameButton"));
    m_pMove->setObjectName(QStringLiteral("moveButton"));
    m_pDelete->setObjectName(QStringLiteral("deleteButton"));
    m_pUp->setObjectName(QStringLiteral("upButton"));
    m_pDown->setObjectName(QStringLiteral("downButton"));
    auto* pClose = new QPushButton(QStringLiteral("关闭"), this);
    pClose->setObjectName(QStringLiteral("closeButton"));

    connect(m_pNewFolder, &QPushButton::clicked, this, &COrganizeFavoritesDlg::NewFolder);
    connect(m_pRename, &QPushButton::clicked, this, [this] {
        if (QTreeWidgetItem* pItem = m_pTree->currentItem()) {
            m_pTree->editItem(pItem);
        }
    });
    connect(m_pMove, &QPushButton::clicked, this, &COrganizeFavoritesDlg::MoveCurrentToFolder);
    connect(m_pDelete, &QPushButton::clicked, this, &COrganizeFavoritesDlg::DeleteCurrent);
    connect(m_pUp, &QPushButton::clicked, this, [this] { MoveCurrent(-1); });
    connect(m_pDown, &QPushButton::clicked, this, [this] { MoveCurrent(1); });
    connect(pClose, &QPushButton::clicked, this, &COrganizeFavoritesDlg::accept);
    connect(m_pTree, &QTreeWidget::itemChanged, this, &COrganizeFavoritesDlg::onItemChanged);
    connect(m_pTree, &QTreeWidget::currentItemChanged, this, &COrganizeFavoritesDlg::updateButtons);

    auto* pHint = new QLabel(QStringLiteral("要创建新文件夹，请单击“新建文件夹”。要重命名、移动或删除一项，"
                                            "请先选中它，再单击相应的按钮。“上移”和“下移”改变它在菜单中的位置。"),
                             this);
    pHint->setWordWrap(true);
    auto* pGrid = new QVBoxLayout;
    pGrid->addWidget(pHint);
    auto* pRow1 = new QHBoxLayout;
    pRow1->addWidget(m_pNewFolder);
    pRow1->addWidget(m_pRename);
    auto* pRow2 = new QHBoxLayout;
    pRow2->addWidget(m_pMove);
    pRow2->addWidget(m_pDelete);
    auto* pRow3 = new QHBoxLayout;
    pRow3->addWidget(m_pUp);
    pRow3->addWidget(m_pDown);
    pGrid->addLayout(pRow1);
    pGrid->addLayout(pRow2);
    pGrid->addLayout(pRow3);
    pGrid->addStretch(1);
    auto* pCloseRow = new QHBoxLayout;
    pCloseRow->addStretch(1);
    pCloseRow->addWidget(pClose);
    pGrid->addLayout(pCloseRow);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->addLayout(pGrid, 2);
    pLayout->addWidget(m_pTree, 3);
    resize(560, 380);

    reload(QString());
}

COrganizeFavoritesDlg::~COrganizeFavoritesDlg() = default;

void COrganizeFavoritesDlg::warn(const QString& strText)
{
    m_prompts.messageBox(this, QMessageBox::Warning, windowTitle(), strText, QMessageBox::Ok);
}

QString COrganizeFavoritesDlg::folderOf(const QTreeWidgetItem* pParentOrNull) const
{
    if (pParentOrNull == nullptr || pParentOrNull == m_pTree->invisibleRootItem()) {
        return m_strRoot;
    }
    return pParentOrNull->data(0, kPathRole).toString();
}

QString COrganizeFavoritesDlg::relPath(const QString& strFolder) const
{
    return toQ(favorites::RelativeFavoritesPath(fromQ(m_strRoot), fromQ(strFolder)));
}

QTreeWidgetItem* COrganizeFavoritesDlg::ItemOf(const QString& strPath) const
{
    for (QTreeWidgetItemIterator it(m_pTree); *it; ++it) {
        if ((*it)->data(0, kPathRole).toString() == strPath) {
            return *it;
        }
    }
    return nullptr;
}

void COrganizeFavoritesDlg::reload(const QString& strSelect)
{
    m_bLoading = true;
    m_pTree->clear();
    addItems(m_pTree->invisibleRootItem(), m_strRoot, 0);
    m_bLoading = false;
    QTreeWidgetItem* pSelect = ItemOf(strSelect);
    if (pSelect == nullptr) {
        pSelect = m_pTree->topLevelItem(0);
    }
    if (pSelect != nullptr) {
        for (QTreeWidgetItem* pUp = pSelect->parent(); pUp != nullptr; pUp = pUp->parent()) {
            pUp->setExpanded(true);
        }
        m_pTree->setCurrentItem(pSelect);
    }
    updateButtons();
}

void COrganizeFavoritesDlg::addItems(QTreeWidgetItem* pParent, const QString& strFolder, int nDepth)
{
    if (nDepth >= kMaxDepth) {
        return;
    }
    favorites::FolderListing listing;
    favorites::ListFavoritesFolder(fromQ(strFolder), 0, listing);
    const QByteArray record = COrderRecordStore::Read(relPath(strFolder));
    CMenuOrder order;
    const bool bOrdered = !record.isEmpty() && order.ReadOrder(record.toStdString()) != 0;
    for (const favorites::MenuEntry& entry : favorites::OrderFavorites(listing, bOrdered ? &order : nullptr)) {
        const QString strName = toQ(entry.strName);
        const QString strPath = strFolder + QLatin1Char('/') + strName;
        QString strText = strName;
        strText.chop(endingOf(strName).size() * (entry.bFolder ? 0 : 1));
        auto* pItem = new QTreeWidgetItem(pParent, {strText});
        pItem->setFlags(pItem->flags() | Qt::ItemIsEditable);
        pItem->setIcon(0, favoriteIcon(entry.bFolder ? 0 : 1));
        pItem->setData(0, kPathRole, strPath);
        pItem->setData(0, kFolderRole, entry.bFolder);
        if (entry.bFolder && !QFileInfo(strPath).isSymLink()) {
            addItems(pItem, strPath, nDepth + 1);
        }
    }
}

void COrganizeFavoritesDlg::writeOrder(QTreeWidgetItem* pParentOrNull, bool bAlways)
{
    QTreeWidgetItem* pParent = pParentOrNull != nullptr ? pParentOrNull : m_pTree->invisibleRootItem();
    const QString strRel = relPath(folderOf(pParent));
    if (!bAlways && COrderRecordStore::Read(strRel).isEmpty()) {
        return;
    }
    std::vector<MenuOrderItem> items;
    for (int i = 0; i < pParent->childCount(); ++i) {
        const QTreeWidgetItem* pChild = pParent->child(i);
        items.push_back({fromQ(QFileInfo(pChild->data(0, kPathRole).toString()).fileName()),
                         pChild->data(0, kFolderRole).toBool()});
    }
    COrderRecordStore::Write(strRel, QByteArray::fromStdString(WriteMenuOrder(items)));
}

void COrganizeFavoritesDlg::updateButtons()
{
    QTreeWidgetItem* pItem = m_pTree->currentItem();
    const QTreeWidgetItem* pParent =
        pItem != nullptr && pItem->parent() != nullptr ? pItem->parent() : m_pTree->invisibleRootItem();
    const int nIndex = pItem != nullptr ? pParent->indexOfChild(pItem) : -1;
    m_pRename->setEnabled(pItem != nullptr);
    m_pMove->setEnabled(pItem != nullptr);
    m_pDelete->setEnabled(pItem != nullptr);
    m_pUp->setEnabled(nIndex > 0);
    m_pDown->setEnabled(nIndex >= 0 && nIndex < pParent->childCount() - 1);
}

void COrganizeFavoritesDlg::NewFolder()
{
    QTreeWidgetItem* pCurrent = m_pTree->currentItem();
    QTreeWidgetItem* pParent = pCurrent != nullptr ? pCurrent->parent() : nullptr;
    const QString strFolder = folderOf(pParent);
    QString strPath = strFolder + QStringLiteral("/新建文件夹");
    for (int n = 2; QFileInfo::exists(strPath); ++n) {
        strPath = strFolder + QStringLiteral("/新建文件夹 (%1)").arg(n);
    }
    if (!QDir().mkdir(strPath)) {
        warn(QStringLiteral("无法创建文件夹“%1”。").arg(strPath));
        return;
    }
    m_bLoading = true;
    auto* pItem = new QTreeWidgetItem({QFileInfo(strPath).fileName()});
    pItem->setFlags(pItem->flags() | Qt::ItemIsEditable);
    pItem->setIcon(0, favoriteIcon(0));
    pItem->setData(0, kPathRole, strPath);
    pItem->setData(0, kFolderRole, true);
    (pParent != nullptr ? pParent : m_pTree->invisibleRootItem())->addChild(pItem);
    m_bLoading = false;
    writeOrder(pParent, false);
    m_pTree->setCurrentItem(pItem);
    if (isVisible()) {
        m_pTree->editItem(pItem);
    }
}

void COrganizeFavoritesDlg::onItemChanged(QTreeWidgetItem* pItem)
{
    if (m_bLoading || pItem == nullptr) {
        return;
    }
    m_pTree->setCurrentItem(pItem);
    RenameCurrent(pItem->text(0));
}

void COrganizeFavoritesDlg::RenameCurrent(const QString& strNewName)
{
    QTreeWidgetItem* pItem = m_pTree->currentItem();
    if (pItem == nullptr) {
        return;
    }
    const QString strOld = pItem->data(0, kPathRole).toString();
    const bool bFolder = pItem->data(0, kFolderRole).toBool();
    const QFileInfo old(strOld);
    const QString strBase = toQ(favorites::SafeFavoriteName(fromQ(strNewName.trimmed()), ""));
    const QString strNew = old.path() + QLatin1Char('/') + strBase + (bFolder ? QString() : endingOf(old.fileName()));
    const auto restore = [this, pItem, &old, bFolder] {
        m_bLoading = true;
        QString strText = old.fileName();
        strText.chop(bFolder ? 0 : endingOf(strText).size());
        pItem->setText(0, strText);
        m_bLoading = false;
    };
    if (strBase.isEmpty() || strNew == strOld) {
        restore();
        return;
    }
    // Only a different letter case of the same name may "exist" already.
    if (QFileInfo::exists(strNew) && strNew.compare(strOld, Qt::CaseInsensitive) != 0) {
        warn(QStringLiteral("已有名为“%1”的项目。").arg(QFileInfo(strNew).fileName()));
        restore();
        return;
    }
    if (!QDir().rename(strOld, strNew)) {
        warn(QStringLiteral("无法重命名“%1”。").arg(old.fileName()));
        restore();
        return;
    }
    if (bFolder) {
        COrderRecordStore::Move(relPath(strOld), relPath(strNew));
    }
    // The item stays (this may run inside the tree's own change signal): its path and those below it follow.
    m_bLoading = true;
    for (QTreeWidgetItemIterator it(pItem); *it; ++it) {
        const QString strPath = (*it)->data(0, kPathRole).toString();
        if (strPath != strOld && !strPath.startsWith(strOld + QLatin1Char('/'))) {
            break;
        }
        (*it)->setData(0, kPathRole, QString(strNew + strPath.mid(strOld.size())));
    }
    pItem->setText(0, strBase);
    m_bLoading = false;
    writeOrder(pItem->parent(), false);
}

void COrganizeFavoritesDlg::MoveCurrentToFolder()
{
    QTreeWidgetItem* pItem = m_pTree->currentItem();
    if (pItem == nullptr) {
        return;
    }
    CChooseFavoriteFolderDlg dialog(m_strRoot, this);
    if (m_prompts.execDialog(dialog) != QDialog::Accepted) {
        return;
    }
    const QString strOld = pItem->data(0, kPathRole).toString();
    const bool bFolder = pItem->data(0, kFolderRole).toBool();
    const QString strTarget = dialog.m_strFolder;
    if (bFolder && (strTarget == strOld || strTarget.startsWith(strOld + QLatin1Char('/')))) {
        warn(QStringLiteral("不能把文件夹移到它自己里面。"));
        return;
    }
    const QString strNew = strTarget + QLatin1Char('/') + QFileInfo(strOld).fileName();
    if (strNew == strOld) {
        return;
    }
    if (QFileInfo::exists(strNew)) {
        warn(QStringLiteral("目标文件夹中已有“%1”。").arg(QFileInfo(strOld).fileName()));
        return;
    }
    if (!QDir().rename(strOld, strNew)) {
        warn(QStringLiteral("无法移动“%1”。").arg(QFileInfo(strOld).fileName()));
        return;
    }
    if (bFolder) {
        COrderRecordStore::Move(relPath(strOld), relPath(strNew));
    }
    QTreeWidgetItem* pOldParent = pItem->parent();
    delete pItem;
    writeOrder(pOldParent, false);
    reload(strNew);
    QTreeWidgetItem* pMoved = ItemOf(strNew);
    writeOrder(pMoved != nullptr ? pMoved->parent() : nullptr, false);
}

void COrganizeFavoritesDlg::DeleteCurrent()
{
    QTreeWidgetItem* pItem = m_pTree->currentItem();
    if (pItem == nullptr) {
        return;
    }
    const QString strPath = pItem->data(0, kPathRole).toString();
    const bool bFolder = pItem->data(0, kFolderRole).toBool();
    const QString strQuestion =
        bFolder ? QStringLiteral("确实要删除文件夹“%1”和其中的所有收藏吗?") : QStringLiteral("确实要删除“%1”吗?");
    if (m_prompts.messageBox(this, QMessageBox::Question, QStringLiteral("确认删除"), strQuestion.arg(pItem->text(0)),
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    const bool bRemoved = bFolder ? QDir(strPath).removeRecursively() : QFile::remove(strPath);
    if (!bRemoved) {
        warn(QStringLiteral("无法删除“%1”。").arg(pItem->text(0)));
        reload(strPath);
        return;
    }
    if (bFolder) {
        COrderRecordStore::Remove(relPath(strPath));
    }
    QTreeWidgetItem* pParent = pItem->parent();
    delete pItem;
    writeOrder(pParent, false);
    updateButtons();
}

void COrganizeFavoritesDlg::MoveCurrent(int nStep)
{
    QTreeWidgetItem* pItem = m_pTree->currentItem();
    if (pItem == nullptr) {
        return;
    }
    QTreeWidgetItem* pParent = pItem->parent() != nullptr ? pItem->parent() : m_pTree->invisibleRootItem();
    const int nIndex = pParent->indexOfChild(pItem);
    const int nNew = nIndex + nStep;
    if (nNew < 0 || nNew >= pParent->childCount()) {
        return;
    }
    const bool bExpanded = pItem->isExpanded();
    m_bLoading = true;
    pParent->takeChild(nIndex);
    pParent->insertChild(nNew, pItem);
    m_bLoading = false;
    pItem->setExpanded(bExpanded);
    m_pTree->setCurrentItem(pItem);
    writeOrder(pItem->parent(), true);
    updateButtons();
}
