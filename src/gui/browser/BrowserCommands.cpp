#include "browser/BrowserCommands.h"

namespace browsercmd
{
QString MenuText(int nId)
{
    switch (nId) {
    case ID_BACK:
        return QStringLiteral("前页");
    case ID_FORWARD:
        return QStringLiteral("后页");
    case ID_STOP:
        return QStringLiteral("停止");
    case ID_REFRESH:
        return QStringLiteral("刷新");
    case ID_NEW_BLANK_PAGE:
        return QStringLiteral("新建空白页");
    case ID_TEXT_LARGEST:
        return QStringLiteral("最大");
    case ID_TEXT_LARGER:
        return QStringLiteral("较大");
    case ID_TEXT_MEDIUM:
        return QStringLiteral("中等");
    case ID_TEXT_SMALLER:
        return QStringLiteral("较小");
    case ID_TEXT_SMALLEST:
        return QStringLiteral("最小");
    case ID_TAB_CLOSE:
        return QStringLiteral("关闭");
    case ID_TAB_SAVE_AS:
        return QStringLiteral("另存为..");
    case ID_FILE_PRINT:
        return QStringLiteral("打印(&P)...\tCtrl+P");
    case ID_FILE_PRINT_PREVIEW:
        return QStringLiteral("打印预览(&V)");
    case ID_FILE_PRINT_SETUP:
        return QStringLiteral("打印设置(&R)...");
    default:
        return {};
    }
}

QString PromptText(int nId)
{
    switch (nId) {
    case ID_BACK:
        return QStringLiteral("后退\n后退");
    case ID_FORWARD:
        return QStringLiteral("前进\n前进");
    case ID_STOP:
        return QStringLiteral("停止\n停止");
    case ID_REFRESH:
        return QStringLiteral("刷新\n刷新");
    default:
        return {};
    }
}
} // namespace browsercmd
