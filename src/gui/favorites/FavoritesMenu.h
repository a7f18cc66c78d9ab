#pragma once

#include <memory>
#include <vector>

#include <QIcon>
#include <QObject>
#include <QString>

#include "favorites/FavoritesFolder.h"

class CIconMenu;
class QAction;
class QMenu;
class QWidget;
struct CMenuItemData;
struct CUserPrompts;

// The "收藏夹" menu and its commands. The menu keeps its four fixed items (add, organize, the
// import/export submenu and a separator); below them come the favorites folder's sub-folders and
// favorites in their recorded order, each sub-folder read only when its submenu is first shown.
//
// Favorites are numbered in the order they are read: a build starts at 0, each folder read later goes on
// from the last number given, and favorite n is chosen with command id 4992 + n.
class CFavoritesMenu final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CFavoritesMenu)

public:
    // pMenu: the menu bar's "收藏夹" menu, holding its fixed items. strFolder: the favorites folder, made
    // when it is first needed. prompts answers for the user; pWindow owns the dialogs.
    CFavoritesMenu(QMenu* pMenu, QString strFolder, CUserPrompts& prompts, QWidget* pWindow);
    ~CFavoritesMenu() override;

    static constexpr int kFixedItems = 4;

    // Rebuilds everything below the fixed items, numbering from 0.
    void BuildFavoritesMenu();
    // Appends a folder's sub-folders and favorites to menu, numbering from nFirst; the next free number.
    int FillFavoritesMenu(const QString& strFolder, int nFirst, QMenu* pMenu);
    // The favorites folder, made when missing; false (after "Can't get path of favorite.") when it
    // cannot be made.
    bool GetFavoritesFolder(QString& strPath);

    // Opens the favorite chosen with command id nId: an address in the browser, a desktop entry's target
    // with the desktop. Ids outside 4992..24576 do nothing.
    void OpenFavorite(int nId);
    // The add-to-favorites dialog for a page, then the rebuilt menu.
    void AddFavorite(const QString& strAddress, const QString& strTitle);
    // The organize dialog over the favorites folder, then the rebuilt menu.
    void OrganizeFavorites();
    void ImportFavorites();
    void ExportFavorites();

    int NextFavId() const { return m_nNextFavId; }
    int RecordCount() const { return static_cast<int>(m_favItems.size()); }
    QMenu* Menu() const { return m_pMenu; }
    // The record of a menu item; null for items that are not favorites.
    CMenuItemData* RecordOf(const QAction* pAction) const;

signals:
    // An address chosen in the menu, for the browser.
    void navigateRequested(const QString& strAddress);

private:
    void AddFavoriteItem(const QString& strFile, const QString& strDir, QMenu* pMenu, int nNumber);
    void AddFavoriteFolder(const QString& strName, const QString& strDir, QMenu* pMenu);
    void onAboutToShow(QMenu* pMenu);
    CMenuItemData* newRecord();
    void freeRecord(CMenuItemData* pRecord);
    void message(const QString& strText);

    QMenu* m_pMenu;
    QString m_strFolder;
    CUserPrompts& m_prompts;
    QWidget* m_pWindow;
    std::vector<std::unique_ptr<CMenuItemData>> m_favItems;
    int m_nNextFavId = 0;
    QString m_strFavTarget;
};

// The favorites menu's pictures: 0 folder, 1 favorite.
QIcon favoriteIcon(int nImage);
