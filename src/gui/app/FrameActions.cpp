#include "app/FrameActions.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QWidget>

#include "browser/BrowserCommands.h"
#include "common/CommandIds.h"
#include "ui/DropDownToolBar.h"

namespace
{
// Menu text, status-bar prompt and tool tip ("prompt\ntip") of the frame's own commands.
struct CommandText
{
    int nId;
    const char* text;
    const char* prompt;
};

const CommandText kCommandTexts[] = {
    {cmd::ID_NEW_PROJECT, "新建工程(&N)\tCtrl+N", "新建..\n新建.."},
    {cmd::ID_NEW_PROJECT_TREE, "创建新工程", nullptr},
    {cmd::ID_ADD_FROM_INTERNET, "从Internet...", nullptr},
    {cmd::ID_STOP_DOWNLOAD, "停止下载", "停止下载\n停止下载"},
    {cmd::ID_NEW_EMPTY_PROJECT, "新建空工程", nullptr},
    {cmd::ID_NEW_EMPTY_PROJECT_TREE, "创建新的空工程", nullptr},
    {cmd::ID_OPEN_PROJECT, "打开工程(&O)...\tCtrl+O", "打开工程\n打开工程"},
    {cmd::ID_SAVE_PROJECT, "保存工程(&S)\tCtrl+S", "保存工程\n保存工程"},
    {cmd::ID_SAVE_PROJECT_AS, "工程另存为(&A)...", "工程另存为"},
    {cmd::ID_ADD_LOCAL_PAGES, "从本地...", nullptr},
    {cmd::ID_DELETE_NODE, "删除", nullptr},
    {cmd::ID_RENAME_NODE, "改名", nullptr},
    {cmd::ID_RECORD_START_URL, "记录开始下载页网址", "记录开始下载页网址\n记录开始下载页网址"},
    {cmd::ID_RECORD_END_URL, "记录结束下载页网址", "记录结束下载页网址\n记录结束下载页网址"},
    {cmd::ID_BROWSE_PREV_PAGE, "浏览工程上一页", "显示工程上一页\n显示工程上一页"},
    {cmd::ID_BROWSE_NEXT_PAGE, "浏览工程下一页", "显示工程下一页\n显示工程下一页"},
    {cmd::ID_INSERT_BOOKMARK, "插入书签", "插入书签\n插入书签"},
    {cmd::ID_REMOVE_BOOKMARK, "取消书签", "取消书签\n取消书签"},
    {cmd::ID_INSERT_BOOKMARK_TREE, "插入书签", nullptr},
    {cmd::ID_REMOVE_BOOKMARK_TREE, "取消书签", nullptr},
    {cmd::ID_VIEW_PROJECT_WINDOW, "工程窗口", "显示或隐藏工程窗口\n显示或隐藏工程窗口"},
    {cmd::ID_VIEW_MESSAGE_WINDOW, "消息窗口", "显示或隐藏消息窗口\n显示或隐藏消息窗口"},
    {cmd::ID_APP_ABOUT, "关于 Trawlix(&A)...", nullptr},
    {cmd::ID_APP_EXIT, "退出(&X)", nullptr},
    {cmd::ID_VIEW_TOOLBAR, "工具栏(&T)", nullptr},
    {cmd::ID_ADD_TO_FAVORITES, "添加到收藏夹..", nullptr},
    {cmd::ID_ORGANIZE_FAVORITES, "整理收藏夹", nullptr},
    {cmd::ID_IMPORT_FAVORITES, "导入收藏夹...", nullptr},
    {cmd::ID_EXPORT_FAVORITES, "导出收藏夹...", nullptr},
    {cmd::ID_VIEW_STATUS_BAR, "状态栏(&S)", nullptr},
    {cmd::ID_MAKE_CHM_TREE, "生成CHM文档", nullptr},
    {cmd::ID_MAKE_CHM, "生成CHM文件", "生成CHM文件\n生成CHM文件"},
    {cmd::ID_HELP_TOPICS, "帮助主题", nullptr},
    {cmd::ID_MAKE_EPUB_TREE, "生成EPUB文件", nullptr},
    {cmd::ID_MAKE_EPUB, "生成EPUB文件", "生成EPUB电子书\n生成EPUB文件"},
    {cmd::ID_UPDATE_PROJECT_TREE, "更新工程", nullptr},
    {cmd::ID_UPDATE_PROJECT, "更新工程", "下载工程的新网页和已改变的网页\n更新工程"},
};

// The browser view's commands that the frame puts on its menus and toolbar.
const int kBrowserCommands[] = {
    browsercmd::ID_BACK,
    browsercmd::ID_FORWARD,
    browsercmd::ID_STOP,
    browsercmd::ID_REFRESH,
    browsercmd::ID_NEW_BLANK_PAGE,
    browsercmd::ID_TEXT_LARGEST,
    browsercmd::ID_TEXT_LARGER,
    browsercmd::ID_TEXT_MEDIUM,
    browsercmd::ID_TEXT_SMALLER,
    browsercmd::ID_TEXT_SMALLEST,
    browsercmd::ID_FILE_PRINT,
    browsercmd::ID_FILE_PRINT_PREVIEW,
    browsercmd::ID_FILE_PRINT_SETUP,
};

const int kCheckedCommands[] = {
    cmd::ID_RECORD_START_URL,   cmd::ID_RECORD_END_URL,      cmd::ID_VIEW_PROJECT_WINDOW,  cmd::ID_VIEW_MESSAGE_WINDOW,
    cmd::ID_VIEW_TOOLBAR,       cmd::ID_VIEW_STATUS_BAR,     browsercmd::ID_TEXT_LARGEST,  browsercmd::ID_TEXT_LARGER,
    browsercmd::ID_TEXT_MEDIUM, browsercmd::ID_TEXT_SMALLER, browsercmd::ID_TEXT_SMALLEST,
};

} // namespace

QHash<int, QAction*> CreateFrameActions(QObject* owner, const std::function<void(int nId)>& onCommand)
{
    QHash<int, QAction*> actions;
    const auto makeAction = [&](int nId, const QString& strText, const QString& strPrompt) {
        auto* action = new QAction(strText, owner);
        action->setObjectName(QStringLiteral("command%1").arg(nId));
        setActionCommandId(action, nId);
        action->setData(nId);
        QObject::connect(action, &QAction::triggered, owner, [onCommand, nId] { onCommand(nId); });
        actions.insert(nId, action);
        if (strPrompt.isEmpty()) {
            return;
        }
        const qsizetype nBreak = strPrompt.indexOf(QLatin1Char('\n'));
        action->setStatusTip(strPrompt.left(nBreak));
        if (nBreak >= 0) {
            action->setToolTip(strPrompt.mid(nBreak + 1));
        }
    };
    for (const CommandText& command : kCommandTexts) {
        makeAction(command.nId, QString::fromUtf8(command.text),
                   command.prompt ? QString::fromUtf8(command.prompt) : QString());
    }
    for (const int nId : kBrowserCommands) {
        makeAction(nId, browsercmd::MenuText(nId), browsercmd::PromptText(nId));
    }
    for (const int nId : kCheckedCommands) {
        actions.value(nId)->setCheckable(true);
    }
    // Shortcuts of the frame (the menu texts already show them).
    actions.value(cmd::ID_OPEN_PROJECT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    actions.value(cmd::ID_SAVE_PROJECT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    actions.value(browsercmd::ID_FILE_PRINT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    actions.value(cmd::ID_NEW_PROJECT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    actions.value(browsercmd::ID_NEW_BLANK_PAGE)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    actions.value(cmd::ID_HELP_TOPICS)->setShortcut(QKeySequence(Qt::Key_F1));
    return actions;
}

void MoveFocusAmongPanes(const QList<QWidget*>& allPanes, bool bForward)
{
    QList<QWidget*> panes;
    for (QWidget* pane : allPanes) {
        if (pane->isVisible()) {
            panes.append(pane);
        }
    }
    if (panes.isEmpty()) {
        return;
    }
    qsizetype nAt = -1;
    for (qsizetype i = 0; i < panes.size(); ++i) {
        if (panes.at(i)->isAncestorOf(QApplication::focusWidget()) || panes.at(i) == QApplication::focusWidget()) {
            nAt = i;
        }
    }
    const qsizetype nNext = bForward ? (nAt + 1) % panes.size() : (nAt <= 0 ? panes.size() - 1 : nAt - 1);
    panes.at(nNext)->setFocus(Qt::ShortcutFocusReason);
}

QList<int> MainToolBarCommands()
{
    return {cmd::ID_NEW_PROJECT,
            0,
            cmd::ID_OPEN_PROJECT,
            cmd::ID_SAVE_PROJECT,
            cmd::ID_STOP_DOWNLOAD,
            0,
            browsercmd::ID_BACK,
            browsercmd::ID_FORWARD,
            browsercmd::ID_STOP,
            browsercmd::ID_REFRESH,
            cmd::ID_RECORD_START_URL,
            cmd::ID_RECORD_END_URL,
            0,
            cmd::ID_BROWSE_PREV_PAGE,
            cmd::ID_BROWSE_NEXT_PAGE,
            cmd::ID_INSERT_BOOKMARK,
            cmd::ID_REMOVE_BOOKMARK,
            0,
            cmd::ID_VIEW_PROJECT_WINDOW,
            cmd::ID_VIEW_MESSAGE_WINDOW};
}
