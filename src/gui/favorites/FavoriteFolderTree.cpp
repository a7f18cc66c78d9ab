#include "favorites/FavoriteFolderTree.h"

#include <QFileInfo>
#include <QHeaderView>

#include "common/Text.h"
#include "favorites/FavoritesFolder.h"
#include "favorites/FavoritesMenu.h"
#include "favorites/MenuOrder.h"
#include "favorites/OrderRecordStore.h"

namespace
{
// Deeper folders are not shown: a safe stop for folders that lead back up through links.
constexpr int kMaxDepth = 32;
} // namespace

CFavoriteFolderTree::CFavoriteFolderTree(QString strRoot, QWidget* parent)
    : QTreeWidget(parent)
    , m_strRoot(std::move(strRoot))
{
    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(16, 16));
    Reload(m_strRoot);
}

CFavoriteFolderTree::~CFavoriteFolderTree() = default;

void CFavoriteFolderTree::Reload(const QString& strSelect)
{
    clear();
    auto* pTop = new QTreeWidgetItem(this, {QStringLiteral("收藏夹")});
    pTop->setIcon(0, favoriteIcon(0));
    pTop->setData(0, kPathRole, m_strRoot);
    addFolders(pTop, m_strRoot, 0);
    expandAll();
    setCurrentItem(pTop);
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if ((*it)->data(0, kPathRole).toString() == strSelect) {
            setCurrentItem(*it);
        }
    }
}

void CFavoriteFolderTree::addFolders(QTreeWidgetItem* pParent, const QString& strPath, int nDepth)
{
    if (nDepth >= kMaxDepth) {
        return;
    }
    favorites::FolderListing listing;
    favorites::ListFavoritesFolder(fromQ(strPath), 0, listing);
    listing.files.clear();
    const QByteArray record =
        COrderRecordStore::Read(toQ(favorites::RelativeFavoritesPath(fromQ(m_strRoot), fromQ(strPath))));
    CMenuOrder order;
    const bool bOrdered = !record.isEmpty() && order.ReadOrder(record.toStdString()) != 0;
    for (const favorites::MenuEntry& entry : favorites::OrderFavorites(listing, bOrdered ? &order : nullptr)) {
        const QString strChild = strPath + QLatin1Char('/') + toQ(entry.strName);
        auto* pItem = new QTreeWidgetItem(pParent, {toQ(entry.strName)});
        pItem->setIcon(0, favoriteIcon(0));
        pItem->setData(0, kPathRole, strChild);
        if (!QFileInfo(strChild).isSymLink()) {
            addFolders(pItem, strChild, nDepth + 1);
        }
    }
}

QString CFavoriteFolderTree::SelectedFolder() const
{
    const QTreeWidgetItem* pItem = currentItem();
    return pItem != nullptr ? pItem->data(0, kPathRole).toString() : m_strRoot;
}
