#pragma once

#include <QIcon>
#include <QList>
#include <QString>

// The program's own pictures, compiled in from res/icons.
QIcon commandIcon(int commandId);
QString commandIconPath(int commandId);
// The ids of the commands that have a picture, in toolbar order.
QList<int> commandIconIds();
// The project tree's images by index: 0 closed folder, 1 open folder, 2 page, 3 root, 4 bookmarked page.
QIcon treeIcon(int index);
constexpr int kTreeIconCount = 5;
QIcon appIcon();
