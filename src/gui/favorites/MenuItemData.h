#pragma once

#include <QString>

#include "favorites/FavoritesFolder.h"

// What one item of the favorites menu stands for. A placeholder (m_bLoaded false) sits alone in the
// submenu of a folder that has not been read yet and carries the folder's full path as its text.
struct CMenuItemData
{
    bool m_bLoaded = true;
    // -1 none (the placeholder), 0 folder, 1 favorite.
    int m_nImage = -1;
    QString m_strText;
    // What choosing the item opens: the address of an Internet shortcut, or the full path of a desktop
    // entry; empty for folders and for a shortcut without an address.
    QString m_strTarget;
    favorites::FileKind m_kind = favorites::FileKind::None;
};
