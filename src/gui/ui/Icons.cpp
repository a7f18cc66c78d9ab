#include "Icons.h"

#include <array>

#include <QFile>

namespace
{
constexpr std::array kCommandIds{32771, 32776, 32777, 32824, 32814, 32815, 32840, 32841, 32816,
                                 32817, 32818, 32819, 32846, 32847, 32820, 32851, 32773, 32775};
constexpr std::array<const char*, kTreeIconCount> kTreeNames{"tree-closed", "tree-open", "tree-page", "tree-root",
                                                             "tree-bookmark"};
} // namespace

QString commandIconPath(int commandId)
{
    return QStringLiteral(":/icons/cmd-%1.svg").arg(commandId);
}

QList<int> commandIconIds()
{
    return {kCommandIds.begin(), kCommandIds.end()};
}

QIcon commandIcon(int commandId)
{
    const QString path = commandIconPath(commandId);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

QIcon treeIcon(int index)
{
    if (index < 0 || index >= kTreeIconCount) {
        return {};
    }
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(kTreeNames[static_cast<size_t>(index)])));
}

QIcon appIcon()
{
    return QIcon(QStringLiteral(":/icons/trawlix.svg"));
}
