#include "app/MainFrame.h"

#include <algorithm>
#include <cstdlib>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStandardPaths>
#include <QToolBar>
#include <QTreeWidgetItem>
#include <QUrl>
#include <QWebEngineProfile>

#include "app/AboutDlg.h"
#include "app/CommandIds.h"
#include "app/DownloadReceiver.h"
#include "app/FileProblem.h"
#include "app/MessageBar.h"
#include "app/MessageEdit.h"
#include "app/Text.h"
#include "browser/BrowserCommands.h"
#include "browser/BrowserCookies.h"
#include "browser/BrowserProfile.h"
#include "browser/TrawlixView.h"
#include "chm/ChmCommand.h"
#include "chm/ChmReader.h"
#include "download/DownloadLog.h"
#include "download/DownloadWorker.h"
#include "download/PageScanner.h"
#include "download/PageTitle.h"
#include "epub/EpubCommand.h"
#include "favorites/FavoritesFolder.h"
#include "favorites/FavoritesMenu.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "project/ProjectBar.h"
#include "project/ProjectFileAppend.h"
#include "project/ProjectStore.h"
#include "project/ProjectTree.h"
#include "project/TrawlixDoc.h"
#include "ui/Icons.h"
#include "ui/ProgStatusBar.h"
#include "ui/ToolBarEx.h"
#include "wizards/DownloadCommands.h"
#include "wizards/RenameDlg.h"

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

QString projectFileFilter()
{
    return QStringLiteral("project Files (*.wbr)");
}

QString frameTitle()
{
    return QStringLiteral("Velloc 1.6");
}

// Why a project file could not be read or written, for the user.
QString fileStatusText(ProjectFileStatus::Code code, bool bWriting, std::uint64_t nOffset)
{
    switch (code) {
    case ProjectFileStatus::Code::CannotOpen:
        return bWriting ? QStringLiteral("无法创建这个文件。") : QStringLiteral("文件不存在或无法读取。");
    case ProjectFileStatus::Code::CannotWrite:
        return QStringLiteral("写入文件时出错，原来的文件没有改变。");
    case ProjectFileStatus::Code::WrongSignature:
        return QStringLiteral("这不是工程文件。");
    case ProjectFileStatus::Code::Damaged:
        return QStringLiteral("文件已损坏，在第 %1 字节处中断。").arg(nOffset);
    case ProjectFileStatus::Code::Locked:
        return QStringLiteral("另一个程序正在写这个文件，请稍后再试。原来的文件没有改变。");
    case ProjectFileStatus::Code::Ok:
        break;
    }
    return {};
}

// The title of a local page; "Untitled" when it has none.
QString localPageTitle(const std::string& strBytes);
} // namespace

CMainFrame::RunningJob::~RunningJob()
{
    // The receiver goes first, so a job waiting on it is free to end; then the job's thread is joined.
    if (receiver) {
        receiver->Release();
    }
    job.reset();
    receiver.reset();
}

CMainFrame::CMainFrame(QWidget* parent)
    : QMainWindow(parent)
    , m_pDoc(new CTrawlixDoc(this))
    , m_prompts(CUserPrompts::interactive())
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(frameTitle());
    setWindowIcon(appIcon());
    m_pDoc->SetTitleWindow(this);

    m_pView = new CTrawlixView(this, this);
    m_pCookies = new CBrowserCookies(m_pView->Profile()->profile()->cookieStore(), this);
    m_pView->setObjectName(QStringLiteral("trawlixView"));
    setCentralWidget(m_pView);

    createActions();
    createBars();
    createToolBars();
    createMenus();
    m_pDownloads = new CDownloadCommands(*this);
    m_pFavorites->BuildFavoritesMenu();

    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(0);
    connect(&m_idleTimer, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
    m_reapTimer.setInterval(200);
    connect(&m_reapTimer, &QTimer::timeout, this, &CMainFrame::reapJobs);
    qApp->installEventFilter(this);
    UpdateCommandStates();
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
    shutdownJobs();
}

// ---- construction -------------------------------------------------------------------------------

QAction* CMainFrame::makeAction(int nId, const QString& strText)
{
    auto* action = new QAction(strText, this);
    action->setObjectName(QStringLiteral("command%1").arg(nId));
    setActionCommandId(action, nId);
    action->setData(nId);
    connect(action, &QAction::triggered, this, [this, nId] { OnCommand(nId); });
    m_actions.insert(nId, action);
    return action;
}

void CMainFrame::createActions()
{
    const auto setPrompt = [](QAction* action, const QString& strPrompt) {
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
        QAction* action = makeAction(command.nId, QString::fromUtf8(command.text));
        setPrompt(action, command.prompt ? QString::fromUtf8(command.prompt) : QString());
    }
    for (const int nId : kBrowserCommands) {
        QAction* action = makeAction(nId, browsercmd::MenuText(nId));
        setPrompt(action, browsercmd::PromptText(nId));
    }
    for (const int nId : kCheckedCommands) {
        m_actions.value(nId)->setCheckable(true);
    }
    // Shortcuts of the frame (the menu texts already show them).
    Action(cmd::ID_OPEN_PROJECT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Action(cmd::ID_SAVE_PROJECT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Action(browsercmd::ID_FILE_PRINT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    Action(cmd::ID_NEW_PROJECT)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    Action(browsercmd::ID_NEW_BLANK_PAGE)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    Action(cmd::ID_HELP_TOPICS)->setShortcut(QKeySequence(Qt::Key_F1));

    // F6 and Shift+F6 move the keyboard focus between the panes.
    const auto addPaneShortcut = [this](const QKeySequence& key, bool bForward) {
        auto* action = new QAction(this);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, bForward] {
            QList<QWidget*> panes;
            for (QWidget* pane : {static_cast<QWidget*>(m_wndProjectBar->Tree()), static_cast<QWidget*>(m_pView),
                                  static_cast<QWidget*>(m_wndMessageBar->Edit())}) {
                if (pane->isVisible()) {
                    panes.append(pane);
                }
            }
            if (panes.isEmpty()) {
                return;
            }
            qsizetype nAt = -1;
            for (qsizetype i = 0; i < panes.size(); ++i) {
                if (panes.at(i)->isAncestorOf(QApplication::focusWidget()) ||
                    panes.at(i) == QApplication::focusWidget()) {
                    nAt = i;
                }
            }
            const qsizetype nNext = bForward ? (nAt + 1) % panes.size() : (nAt <= 0 ? panes.size() - 1 : nAt - 1);
            panes.at(nNext)->setFocus(Qt::ShortcutFocusReason);
        });
        addAction(action);
    };
    addPaneShortcut(QKeySequence(Qt::Key_F6), true);
    addPaneShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), false);
}

void CMainFrame::createMenus()
{
    QMenuBar* bar = menuBar();
    const auto add = [this](QMenu* menu, std::initializer_list<int> ids) {
        for (const int nId : ids) {
            if (nId == 0) {
                menu->addSeparator();
            } else {
                menu->addAction(Action(nId));
            }
        }
    };

    QMenu* file = bar->addMenu(QStringLiteral("文件(&F)"));
    file->setObjectName(QStringLiteral("fileMenu"));
    add(file, {cmd::ID_NEW_PROJECT, cmd::ID_NEW_EMPTY_PROJECT, cmd::ID_OPEN_PROJECT, cmd::ID_SAVE_PROJECT,
               cmd::ID_SAVE_PROJECT_AS, 0, browsercmd::ID_FILE_PRINT, browsercmd::ID_FILE_PRINT_PREVIEW,
               browsercmd::ID_FILE_PRINT_SETUP, 0});
    // The recent files: "最近文件", greyed, while there are none.
    for (int n = 0; n <= CRecentFileList::kSize; ++n) {
        auto* action = new QAction(QStringLiteral("最近文件"), this);
        action->setObjectName(n == 0 ? QStringLiteral("recentFileNone") : QStringLiteral("recentFile%1").arg(n));
        if (n > 0) {
            connect(action, &QAction::triggered, this, [this, n] { onOpenRecentFile(n - 1); });
        }
        file->addAction(action);
        m_recentFileActions.append(action);
    }
    connect(file, &QMenu::aboutToShow, this, &CMainFrame::updateRecentFileMenu);
    updateRecentFileMenu();
    add(file, {0, cmd::ID_APP_EXIT});

    // Making a CHM file joins this menu once it is offered.
    QMenu* operate = bar->addMenu(QStringLiteral("操作(&E)"));
    operate->setObjectName(QStringLiteral("operateMenu"));
    add(operate, {browsercmd::ID_BACK, browsercmd::ID_FORWARD, browsercmd::ID_STOP, browsercmd::ID_REFRESH,
                  browsercmd::ID_NEW_BLANK_PAGE, 0, cmd::ID_BROWSE_PREV_PAGE, cmd::ID_BROWSE_NEXT_PAGE, 0,
                  cmd::ID_INSERT_BOOKMARK, cmd::ID_REMOVE_BOOKMARK, 0, cmd::ID_RECORD_START_URL, cmd::ID_RECORD_END_URL,
                  0, cmd::ID_STOP_DOWNLOAD});
    add(operate, {0, cmd::ID_MAKE_CHM, cmd::ID_MAKE_EPUB});

    QMenu* view = bar->addMenu(QStringLiteral("查看(&V)"));
    view->setObjectName(QStringLiteral("viewMenu"));
    add(view, {cmd::ID_VIEW_TOOLBAR, cmd::ID_VIEW_STATUS_BAR, 0, cmd::ID_VIEW_PROJECT_WINDOW,
               cmd::ID_VIEW_MESSAGE_WINDOW, 0});
    QMenu* textSize = view->addMenu(QStringLiteral("字体大小"));
    add(textSize, {browsercmd::ID_TEXT_LARGEST, browsercmd::ID_TEXT_LARGER, browsercmd::ID_TEXT_MEDIUM,
                   browsercmd::ID_TEXT_SMALLER, browsercmd::ID_TEXT_SMALLEST});

    // The favorites, fourth on the bar: four fixed items, then the favorites folder.
    QMenu* favoritesMenu = bar->addMenu(QStringLiteral("收藏夹(&A)"));
    favoritesMenu->setObjectName(QStringLiteral("favoritesMenu"));
    add(favoritesMenu, {cmd::ID_ADD_TO_FAVORITES, cmd::ID_ORGANIZE_FAVORITES});
    QMenu* transfer = favoritesMenu->addMenu(QStringLiteral("导入/导出"));
    add(transfer, {cmd::ID_IMPORT_FAVORITES, cmd::ID_EXPORT_FAVORITES});
    favoritesMenu->addSeparator();
    m_pFavorites = new CFavoritesMenu(
        favoritesMenu, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/Favorites"),
        m_prompts, this);
    connect(m_pFavorites, &CFavoritesMenu::navigateRequested, this, &CMainFrame::NavigateTo);

    // The help topics join this menu with the help file.
    QMenu* help = bar->addMenu(QStringLiteral("帮助(&H)"));
    help->setObjectName(QStringLiteral("helpMenu"));
    add(help, {cmd::ID_HELP_TOPICS, 0, cmd::ID_APP_ABOUT});

    for (QMenu* menu : bar->findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
    }
}

void CMainFrame::createToolBars()
{
    // Make-CHM takes its place on this toolbar once it is offered.
    m_wndToolBar = new CToolBarEx(QStringLiteral("工具栏"), this);
    m_wndToolBar->setObjectName(QStringLiteral("mainToolBar"));
    for (const int nId : {cmd::ID_NEW_PROJECT,
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
                          cmd::ID_VIEW_MESSAGE_WINDOW}) {
        if (nId == 0) {
            m_wndToolBar->addSeparator();
        } else {
            m_wndToolBar->addAction(Action(nId));
        }
    }
    m_wndToolBar->insertAction(Action(cmd::ID_VIEW_PROJECT_WINDOW), Action(cmd::ID_MAKE_CHM));
    m_wndToolBar->insertAction(Action(cmd::ID_VIEW_PROJECT_WINDOW), Action(cmd::ID_MAKE_EPUB));
    m_wndToolBar->SetImageLists(24, commandIcon);
    // The new-project button drops down the three ways of starting something new.
    auto* newMenu = new QMenu(this);
    newMenu->setObjectName(QStringLiteral("newDropDownMenu"));
    for (const auto& [nId, text] :
         {std::pair{cmd::ID_NEW_PROJECT, "新建工程"}, std::pair{cmd::ID_NEW_EMPTY_PROJECT, "新建空白工程"},
          std::pair{browsercmd::ID_NEW_BLANK_PAGE, "新建空白页"}}) {
        connect(newMenu->addAction(QString::fromUtf8(text)), &QAction::triggered, this,
                [this, nId = nId] { OnCommand(nId); });
    }
    m_wndToolBar->AddDropDown(cmd::ID_NEW_PROJECT, newMenu);
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);

    // The address band, on a row of its own under the toolbar.
    addToolBarBreak(Qt::TopToolBarArea);
    m_wndAddressBar = new QToolBar(QStringLiteral("地址"), this);
    m_wndAddressBar->setObjectName(QStringLiteral("addressBar"));
    auto* label = new QLabel(QStringLiteral("地址"), m_wndAddressBar);
    label->setContentsMargins(4, 0, 4, 0);
    m_wndAddressBar->addWidget(label);
    m_wndAddress = new QComboBox(m_wndAddressBar);
    m_wndAddress->setObjectName(QStringLiteral("addressBox"));
    m_wndAddress->setEditable(true);
    m_wndAddress->setInsertPolicy(QComboBox::NoInsert);
    m_wndAddress->setMinimumWidth(100);
    m_wndAddress->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_wndAddress->setMaxVisibleItems(8);
    m_wndAddressBar->addWidget(m_wndAddress);
    // A pick from the drop-down list goes there at once.
    connect(m_wndAddress, &QComboBox::textActivated, this, [this](const QString& strText) {
        if (!strText.isEmpty()) {
            NavigateTo(strText);
        }
    });
    // Enter is taken in eventFilter: the line edit's returnPressed would come twice for a Return sent to the
    // line edit (it passes the key on to the box, which hands it back).
    addToolBar(Qt::TopToolBarArea, m_wndAddressBar);

    m_wndProjectToolBar = new CToolBarEx(QStringLiteral("工程"), this);
    m_wndProjectToolBar->setObjectName(QStringLiteral("projectToolBar"));
    for (const int nId :
         {cmd::ID_BROWSE_PREV_PAGE, cmd::ID_BROWSE_NEXT_PAGE, cmd::ID_INSERT_BOOKMARK, cmd::ID_REMOVE_BOOKMARK}) {
        m_wndProjectToolBar->addAction(Action(nId));
    }
    m_wndProjectToolBar->SetImageLists(24, commandIcon);
    m_wndProjectToolBar->setAllowedAreas(Qt::RightToolBarArea);
    addToolBar(Qt::RightToolBarArea, m_wndProjectToolBar);
}

void CMainFrame::createBars()
{
    m_wndStatusBar = new CProgStatusBar(this);
    setStatusBar(m_wndStatusBar);

    setDockNestingEnabled(true);
    m_wndProjectBar = new CProjectBar(this);
    m_wndProjectBar->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    addDockWidget(Qt::LeftDockWidgetArea, m_wndProjectBar);
    m_wndProjectBar->SetCommandFilter([this](int nId) { return m_actions.contains(nId); });
    connect(m_wndProjectBar, &CProjectBar::commandChosen, this, &CMainFrame::OnCommand);
    connect(m_wndProjectBar, &CProjectBar::pageSelected, this, &CMainFrame::NavigateTo);
    connect(m_wndProjectBar, &CProjectBar::projectModified, m_pDoc, &CTrawlixDoc::MarkModified);

    m_wndMessageBar = new CMessageBar(this);
    m_wndMessageBar->setAllowedAreas(Qt::AllDockWidgetAreas);
    addDockWidget(Qt::BottomDockWidgetArea, m_wndMessageBar);
    m_wndMessageBar->hide();

    resizeDocks({m_wndProjectBar}, {240}, Qt::Horizontal);
    resizeDocks({m_wndMessageBar}, {160}, Qt::Vertical);
}

// ---- idle update --------------------------------------------------------------------------------

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    // The keyboard's Return reaches the box itself, which has the focus and hands the key to its line edit
    // directly (past any filter); one sent to the line edit comes here first. Either counts once.
    if (event->type() == QEvent::KeyPress && m_wndAddress &&
        (watched == m_wndAddress || watched == m_wndAddress->lineEdit())) {
        const int nKey = static_cast<QKeyEvent*>(event)->key();
        if (nKey == Qt::Key_Return || nKey == Qt::Key_Enter) {
            onAddressEntered();
            return true;
        }
    }
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
    case QEvent::FocusIn:
    case QEvent::WindowActivate:
    case QEvent::Show:
    case QEvent::Hide:
        scheduleUpdate();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::scheduleUpdate()
{
    if (!m_idleTimer.isActive() && !m_bShuttingDown) {
        m_idleTimer.start();
    }
}

bool CMainFrame::updateCommand(int nId, bool& bEnabled, bool& bChecked) const
{
    bEnabled = true;
    bChecked = false;
    bool bBookmarked = false;
    switch (nId) {
    case cmd::ID_MAKE_EPUB:
        bEnabled = m_wndProjectBar->IsProjectOrPageSelected();
        return true;
    case cmd::ID_SAVE_PROJECT:
        bEnabled = m_pDoc->IsModified();
        return true;
    case cmd::ID_SAVE_PROJECT_AS:
        bEnabled = !m_pDoc->m_strProjectPath.isEmpty();
        return true;
    case cmd::ID_RECORD_START_URL:
        bChecked = !m_strStartUrl.isEmpty();
        return true;
    case cmd::ID_RECORD_END_URL:
        bChecked = !m_strEndUrl.isEmpty();
        return true;
    case cmd::ID_BROWSE_PREV_PAGE:
    case cmd::ID_BROWSE_NEXT_PAGE: {
        bool bPrev = false;
        bool bNext = false;
        m_wndProjectBar->GetNavState(bPrev, bNext);
        bEnabled = nId == cmd::ID_BROWSE_PREV_PAGE ? bPrev : bNext;
        return true;
    }
    case cmd::ID_INSERT_BOOKMARK:
        bEnabled = m_wndProjectBar->GetBookmarkState(bBookmarked) && !bBookmarked;
        return true;
    case cmd::ID_REMOVE_BOOKMARK:
        bEnabled = m_wndProjectBar->GetBookmarkState(bBookmarked) && bBookmarked;
        return true;
    case cmd::ID_VIEW_PROJECT_WINDOW:
        bChecked = m_wndProjectBar->isVisible();
        return true;
    case cmd::ID_VIEW_MESSAGE_WINDOW:
        bChecked = m_wndMessageBar->isVisible();
        return true;
    case cmd::ID_VIEW_TOOLBAR:
        bChecked = m_wndToolBar->isVisible();
        return true;
    case cmd::ID_VIEW_STATUS_BAR:
        bChecked = m_wndStatusBar->isVisible();
        return true;
    case cmd::ID_MAKE_CHM:
        bEnabled = m_wndProjectBar->IsProjectOrPageSelected();
        return true;
    default:
        return m_pView->UpdateCommand(nId, bEnabled, bChecked) || m_actions.contains(nId);
    }
}

void CMainFrame::UpdateCommandStates()
{
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        bool bEnabled = true;
        bool bChecked = false;
        updateCommand(it.key(), bEnabled, bChecked);
        QAction* action = it.value();
        action->setEnabled(bEnabled);
        if (action->isCheckable()) {
            action->setChecked(bChecked);
        }
    }
    // The page gauge follows the browser's loading progress and goes away once the page is complete.
    if (m_nProgress > 0) {
        m_wndStatusBar->SetPageGauge(m_nProgress);
        if (m_nProgress == 100) {
            m_wndStatusBar->SetPageGauge(0);
            m_nProgress = 0;
        }
    }
    reapJobs();
}

// ---- frame services -----------------------------------------------------------------------------

void CMainFrame::NavigateTo(const QString& strAddress)
{
    m_pView->ShowUrl(strAddress);
}

void CMainFrame::GetRecordedUrls(QString& strStartUrl, QString& strEndUrl) const
{
    strStartUrl = m_strStartUrl;
    strEndUrl = m_strEndUrl;
}

void CMainFrame::SetAddressText(const QString& strText)
{
    m_wndAddress->setEditText(strText);
    scheduleUpdate();
    if (strText.isEmpty()) {
        return;
    }
    // A page shown from disk selects its node; the browser already shows it, so it is not shown again.
    QString strPath;
    const QUrl url(strText);
    if (url.isLocalFile()) {
        strPath = url.toLocalFile();
    } else if (strText.startsWith(QLatin1Char('/'))) {
        strPath = strText;
    }
    if (strPath.isEmpty()) {
        return;
    }
    strPath.replace(QStringLiteral("%20"), QStringLiteral(" "));
    if (QTreeWidgetItem* page = m_wndProjectBar->FindPageByFile(strPath)) {
        m_wndProjectBar->SelectNode(page, false);
    }
}

QString CMainFrame::GetAddressText() const
{
    return m_wndAddress->currentText();
}

void CMainFrame::SetProgress(int nPercent)
{
    const int nValue = nPercent < 0 ? 0 : nPercent;
    m_wndStatusBar->SetPageGauge(nValue);
    m_nProgress = nValue;
    scheduleUpdate();
}

void CMainFrame::SetProgressValue(int nPercent)
{
    m_nProgress = nPercent;
    scheduleUpdate();
}

void CMainFrame::SetStatusText(const QString& strText)
{
    m_wndStatusBar->showMessage(strText);
}

void CMainFrame::AddFavorite(const QString& strAddress, const QString& strTitle)
{
    m_pFavorites->AddFavorite(strAddress, strTitle);
}

void CMainFrame::Activate()
{
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    show();
    raise();
    activateWindow();
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

void CMainFrame::onAddressEntered()
{
    const QString strText = m_wndAddress->lineEdit()->text();
    NavigateTo(strText);
    m_wndAddress->addItem(strText);
    m_wndAddress->setEditText(strText);
}

// ---- commands -----------------------------------------------------------------------------------

void CMainFrame::OnCommand(int nId)
{
    switch (nId) {
    case cmd::ID_NEW_PROJECT:
    case cmd::ID_NEW_PROJECT_TREE:
        m_pDownloads->NewProject();
        break;
    case cmd::ID_NEW_EMPTY_PROJECT:
    case cmd::ID_NEW_EMPTY_PROJECT_TREE:
        m_pDownloads->NewEmptyProject();
        break;
    case cmd::ID_ADD_FROM_INTERNET:
        m_pDownloads->AddFromInternet();
        break;
    case cmd::ID_STOP_DOWNLOAD:
        m_pDownloads->StopDownload();
        break;
    case cmd::ID_OPEN_PROJECT:
        onOpenProject();
        break;
    case cmd::ID_MAKE_EPUB:
    case cmd::ID_MAKE_EPUB_TREE:
        CEpubCommand(this, m_wndProjectBar, m_prompts).Run();
        break;
    case cmd::ID_SAVE_PROJECT:
        SaveProject();
        break;
    case cmd::ID_SAVE_PROJECT_AS:
        SaveProjectAs();
        break;
    case cmd::ID_ADD_LOCAL_PAGES:
        onAddLocalPages();
        break;
    case cmd::ID_DELETE_NODE:
        onDeleteNode();
        break;
    case cmd::ID_RENAME_NODE:
        onRenameNode();
        break;
    case cmd::ID_BROWSE_PREV_PAGE:
        onBrowsePage(false);
        break;
    case cmd::ID_BROWSE_NEXT_PAGE:
        onBrowsePage(true);
        break;
    case cmd::ID_INSERT_BOOKMARK:
    case cmd::ID_INSERT_BOOKMARK_TREE:
        if (m_wndProjectBar->SetBookmark()) {
            m_pDoc->MarkModified();
        }
        break;
    case cmd::ID_REMOVE_BOOKMARK:
    case cmd::ID_REMOVE_BOOKMARK_TREE:
        if (m_wndProjectBar->ClearBookmark()) {
            m_pDoc->MarkModified();
        }
        break;
    case cmd::ID_RECORD_START_URL:
        onRecordUrl(m_strStartUrl);
        break;
    case cmd::ID_RECORD_END_URL:
        onRecordUrl(m_strEndUrl);
        break;
    case cmd::ID_VIEW_PROJECT_WINDOW:
        m_wndProjectBar->setVisible(!m_wndProjectBar->isVisible());
        break;
    case cmd::ID_VIEW_MESSAGE_WINDOW:
        m_wndMessageBar->setVisible(!m_wndMessageBar->isVisible());
        break;
    case cmd::ID_VIEW_TOOLBAR:
        // The toolbars go; the address box stays, it is where addresses are typed.
        m_wndToolBar->setVisible(!m_wndToolBar->isVisible());
        m_wndProjectToolBar->setVisible(m_wndToolBar->isVisible());
        break;
    case cmd::ID_VIEW_STATUS_BAR:
        m_wndStatusBar->setVisible(!m_wndStatusBar->isVisible());
        break;
    case cmd::ID_APP_ABOUT:
        onAbout();
        break;
    case cmd::ID_ADD_TO_FAVORITES:
        m_pView->AddCurrentPageToFavorites();
        break;
    case cmd::ID_ORGANIZE_FAVORITES:
        m_pFavorites->OrganizeFavorites();
        break;
    case cmd::ID_IMPORT_FAVORITES:
        m_pFavorites->ImportFavorites();
        break;
    case cmd::ID_EXPORT_FAVORITES:
        m_pFavorites->ExportFavorites();
        break;
    case cmd::ID_MAKE_CHM:
    case cmd::ID_MAKE_CHM_TREE:
        CChmCommand(this, m_wndProjectBar, m_prompts, [this](const QString& strBook) { OpenBook(strBook); }).Run();
        break;
    case cmd::ID_HELP_TOPICS:
        OpenBook(CChmReader::HelpFilePath());
        break;
    case cmd::ID_APP_EXIT:
        close();
        break;
    default:
        if (favorites::IsFavoriteCommand(nId)) {
            m_pFavorites->OpenFavorite(nId);
        } else {
            m_pView->OnCommand(nId);
        }
        break;
    }
    scheduleUpdate();
}

QTreeWidgetItem* CMainFrame::addProjectWithTask(const QString& strName)
{
    QTreeWidgetItem* project = m_wndProjectBar->AddProject(strName);
    auto task = std::make_unique<CDownloadTask>();
    task->m_strProjectName = fromQ(strName);
    task->m_hProjectItem = m_wndProjectBar->ProjectKey(project);
    task->m_nAddCount = 0;
    m_tasks[task->m_hProjectItem] = std::move(task);
    return project;
}

void CMainFrame::onOpenProject()
{
    m_prompts.SetStartFolder(projectFolder());
    const QString strPath =
        m_prompts.openFileName(this, QStringLiteral("打开工程"),
                               projectFileFilter() + QStringLiteral(";;CHM Files (*.chm)"), QStringLiteral("wbr"));
    if (!strPath.isEmpty()) {
        OpenProjectFile(strPath);
    }
}

void CMainFrame::onAddLocalPages()
{
    QTreeWidgetItem* project = m_wndProjectBar->GetSelectedProject();
    if (!project || !TaskFor(m_wndProjectBar->ProjectKey(project))) {
        return;
    }
    const QStringList files =
        m_prompts.openFileNames(this, QStringLiteral("添加网页到工程"),
                                QStringLiteral("Html Files (*.htm *.html *.shtml)"), QStringLiteral("htm"));
    QStringList unreadable;
    int nAdded = 0;
    for (const QString& strFile : files) {
        QFile file(strFile);
        if (!file.open(QIODevice::ReadOnly)) {
            unreadable.append(strFile);
            continue;
        }
        // The title is looked for in the first 300,000 bytes.
        const QByteArray head = file.read(300000);
        const QString strTitle = localPageTitle(std::string(head.constData(), static_cast<size_t>(head.size())));
        m_wndProjectBar->AddPage(project, strTitle, strFile, strFile, false);
        ++nAdded;
    }
    if (nAdded > 0) {
        m_pDoc->MarkModified();
    }
    if (!unreadable.isEmpty()) {
        m_prompts.messageBox(this, QMessageBox::Warning, QStringLiteral("添加网页到工程"),
                             QStringLiteral("以下文件无法读取，没有添加:\n") + unreadable.join(QLatin1Char('\n')),
                             QMessageBox::Ok);
    }
}

void CMainFrame::onDeleteNode()
{
    bool bProject = false;
    QTreeWidgetItem* item = m_wndProjectBar->GetSelection(&bProject);
    if (!item || m_wndProjectBar->Tree()->IsRoot(item)) {
        return;
    }
    QString strText = (bProject ? QStringLiteral("确定要删除工程 '%1'?") : QStringLiteral("确定要删除网页 '%1'?"))
                          .arg(m_wndProjectBar->GetItemText(item));
    if (bProject && IsDownloading(m_wndProjectBar->ProjectKey(item))) {
        strText =
            QStringLiteral("工程 '%1' 正在下载。确定要停止下载并删除这个工程?").arg(m_wndProjectBar->GetItemText(item));
    }
    if (m_prompts.messageBox(this, QMessageBox::Question, QStringLiteral("删除"), strText,
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    deleteProjects(m_wndProjectBar->DeleteNode(item));
    m_pDoc->MarkModified();
}

void CMainFrame::onRenameNode()
{
    QTreeWidgetItem* item = m_wndProjectBar->GetSelection();
    if (!item) {
        return;
    }
    CRenameDlg dialog(this);
    if (m_prompts.execDialog(dialog) != QDialog::Accepted) {
        return;
    }
    if (dialog.m_strName.isEmpty()) {
        m_prompts.messageBox(this, QMessageBox::NoIcon, QStringLiteral("Trawlix"), QStringLiteral("名字不能为空"),
                             QMessageBox::Ok);
        return;
    }
    // Only the node changes: the project's later downloads keep going to the folder of its first name.
    m_wndProjectBar->SetItemText(item, dialog.m_strName);
    m_pDoc->MarkModified();
}

void CMainFrame::onBrowsePage(bool bNext)
{
    bool bProject = false;
    QTreeWidgetItem* item = m_wndProjectBar->GetSelection(&bProject);
    if (!item || bProject) {
        return;
    }
    if (bNext) {
        m_wndProjectBar->SelectNextPage(item);
    } else {
        m_wndProjectBar->SelectPrevPage(item);
    }
}

void CMainFrame::onRecordUrl(QString& strUrl)
{
    if (!strUrl.isEmpty()) {
        strUrl.clear();
    } else {
        strUrl = GetAddressText();
    }
}

void CMainFrame::onAbout()
{
    CAboutDlg dialog(this);
    m_prompts.execDialog(dialog);
}

void CMainFrame::updateRecentFileMenu()
{
    const QStringList& files = m_recentFiles.Files();
    m_recentFileActions.at(0)->setVisible(files.isEmpty());
    m_recentFileActions.at(0)->setEnabled(false);
    for (int n = 0; n < CRecentFileList::kSize; ++n) {
        QAction* action = m_recentFileActions.at(n + 1);
        action->setVisible(n < files.size());
        if (n < files.size()) {
            QString strPath = files.at(n);
            action->setText(QStringLiteral("&%1 ").arg(n + 1) +
                            strPath.replace(QLatin1Char('&'), QStringLiteral("&&")));
        }
    }
}

void CMainFrame::onOpenRecentFile(int nIndex)
{
    if (nIndex >= m_recentFiles.Files().size()) {
        return;
    }
    const QString strPath = m_recentFiles.Files().at(nIndex);
    if (!QFileInfo(strPath).isFile()) {
        m_prompts.messageBox(this, QMessageBox::Warning, QStringLiteral("Trawlix"),
                             QStringLiteral("文件 \"%1\" 已不存在，已从最近文件列表中删除。").arg(strPath),
                             QMessageBox::Ok);
        m_recentFiles.Remove(strPath);
        updateRecentFileMenu();
        return;
    }
    OpenProjectFile(strPath);
}

// ---- the project file ---------------------------------------------------------------------------

QString CMainFrame::projectFolder() const
{
    return m_pDoc->m_strProjectPath.isEmpty() ? QString() : QFileInfo(m_pDoc->m_strProjectPath).absolutePath();
}

void CMainFrame::reportFileError(
    const QString& strWhat, const QString& strPath, int nCode, std::uint64_t nOffset, const QString& strDetail)
{
    const bool bWriting = strWhat != QStringLiteral("打开");
    QString strText =
        QStringLiteral("无法%1工程文件 \"%2\"。\n%3")
            .arg(strWhat, strPath, fileStatusText(static_cast<ProjectFileStatus::Code>(nCode), bWriting, nOffset));
    if (!strDetail.isEmpty()) {
        strText += QLatin1Char('\n') + strDetail;
    }
    m_prompts.messageBox(this, QMessageBox::Warning, QStringLiteral("警告"), strText, QMessageBox::Ok);
}

bool CMainFrame::OpenProjectFile(const QString& strGivenPath)
{
    QString strPath = strGivenPath.trimmed();
    while (strPath.startsWith(QLatin1Char('"'))) {
        strPath.remove(0, 1);
    }
    while (strPath.endsWith(QLatin1Char('"'))) {
        strPath.chop(1);
    }
    if (strPath.isEmpty()) {
        return false;
    }
    if (CChmReader::IsBookFile(strPath)) {
        return OpenBook(strPath);
    }

    CProjectStore store;
    store.SetPath(fromQ(strPath));
    store.Transfer(false);
    const ProjectFileStatus status = store.LastStatus();
    if (status.m_code == ProjectFileStatus::Code::CannotOpen ||
        status.m_code == ProjectFileStatus::Code::WrongSignature) {
        reportFileError(QStringLiteral("打开"), strPath, static_cast<int>(status.m_code), status.m_nOffset,
                        FileProblemText(strPath, false));
        return false;
    }
    // Unsaved changes are offered for saving before the tree is replaced.
    if (!m_pDoc->CanCloseFrame(*this)) {
        return false;
    }
    std::vector<CProjectObject> projects;
    store.GetProjects(projects);

    std::vector<std::uintptr_t> oldKeys;
    for (const QTreeWidgetItem* project : m_wndProjectBar->Projects()) {
        oldKeys.push_back(m_wndProjectBar->ProjectKey(project));
    }
    deleteProjects(oldKeys);
    m_wndProjectBar->DeleteAll();
    m_wndProjectBar->EnsureRoot();

    for (const CProjectObject& object : projects) {
        QTreeWidgetItem* project = addProjectWithTask(toQ(object.m_strName));
        std::vector<std::string> localFiles;
        for (const CProjectInfor& page : object.m_pages) {
            m_wndProjectBar->AddPage(project, toQ(page.m_strTitle), toQ(page.m_strLocalFile), toQ(page.m_strUrl),
                                     page.m_bBookmark != 0);
            localFiles.push_back(page.m_strLocalFile);
        }
        CDownloadTask& task = *m_tasks[m_wndProjectBar->ProjectKey(project)];
        task.m_strSaveFolder = SaveFolderForPages(localFiles);
        // The add-page command counts up before each job: the next one numbers its pages after those saved.
        task.m_nAddCount = std::max(0, NextAddCount(localFiles) - 1);
    }
    m_pDoc->m_strProjectPath = strPath;
    m_pDoc->MarkSaved();
    m_recentFiles.Add(strPath);
    updateRecentFileMenu();
    m_wndProjectBar->show();
    m_wndProjectBar->Tree()->expandItem(m_wndProjectBar->Tree()->Root());
    if (status.m_code == ProjectFileStatus::Code::Damaged) {
        m_prompts.messageBox(
            this, QMessageBox::Warning, QStringLiteral("警告"),
            QStringLiteral("工程文件 \"%1\" 已损坏，只读出了前面完整的 %2 个工程。").arg(strPath).arg(projects.size()),
            QMessageBox::Ok);
    }
    scheduleUpdate();
    return true;
}

bool CMainFrame::writeProjects(const QString& strPath, const QString& strHeaderName)
{
    std::vector<CProjectObject> projects;
    m_wndProjectBar->CollectProjects(projects);
    CProjectStore store;
    store.SetPath(fromQ(strPath));
    store.SetHeaderName(fromQ(strHeaderName));
    store.SetProjects(projects);
    if (!store.LastTransferOk()) {
        reportFileError(QStringLiteral("保存"), strPath, static_cast<int>(store.LastStatus().m_code),
                        store.LastStatus().m_nOffset, FileProblemText(strPath, true));
        return false;
    }
    return true;
}

bool CMainFrame::SaveProject()
{
    if (m_pDoc->m_strProjectPath.isEmpty()) {
        return SaveProjectAs();
    }
    const QString strPath = m_pDoc->m_strProjectPath;
    if (!writeProjects(strPath, toQ(ProjectFileTitle(fromQ(strPath))))) {
        return false;
    }
    m_pDoc->MarkSaved();
    m_recentFiles.Add(strPath);
    updateRecentFileMenu();
    scheduleUpdate();
    return true;
}

bool CMainFrame::SaveProjectAs()
{
    // With no project in the tree the file holds its header alone; written all the same, so the work of
    // deleting every project is kept and the title loses its "*".
    m_prompts.SetStartFolder(projectFolder());
    const QString strPath =
        m_prompts.saveFileName(this, QStringLiteral("工程另存为"), projectFileFilter(), QStringLiteral("wbr"));
    if (strPath.isEmpty()) {
        return false;
    }
    if (!writeProjects(strPath, m_wndProjectBar->GetRootText())) {
        return false;
    }
    m_pDoc->m_strProjectPath = strPath;
    m_pDoc->MarkSaved();
    m_recentFiles.Add(strPath);
    updateRecentFileMenu();
    scheduleUpdate();
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (IsAnyDownloading() && m_prompts.messageBox(this, QMessageBox::Question, QStringLiteral("Trawlix"),
                                                   QStringLiteral("正在下载，确定要退出吗?"),
                                                   QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    if (!m_pDoc->CanCloseFrame(*this)) {
        event->ignore();
        return;
    }
    shutdownJobs();
    event->accept();
}

bool CMainFrame::OpenBook(const QString& strPath)
{
    QString strWhy;
    if (!CChmReader::Open(m_pView, strPath, &strWhy)) {
        m_prompts.messageBox(this, QMessageBox::Warning, QStringLiteral("警告"),
                             QStringLiteral("无法打开CHM文件 \"%1\"。\n%2").arg(strPath, strWhy), QMessageBox::Ok);
        return false;
    }
    return true;
}

// ---- download jobs ------------------------------------------------------------------------------

CDownloadTask* CMainFrame::TaskFor(std::uintptr_t key) const
{
    const auto it = m_tasks.find(key);
    return it == m_tasks.end() ? nullptr : it->second.get();
}

bool CMainFrame::IsDownloading(std::uintptr_t key) const
{
    const auto it = m_jobs.find(key);
    return it != m_jobs.end() && !it->second->job->IsFinished();
}

bool CMainFrame::IsAnyDownloading() const
{
    return std::any_of(m_jobs.begin(), m_jobs.end(),
                       [](const auto& entry) { return !entry.second->job->IsFinished(); });
}

void CMainFrame::StopAllDownloads()
{
    for (const auto& entry : m_jobs) {
        entry.second->job->Stop();
    }
}

int CMainFrame::JobCount() const
{
    return static_cast<int>(m_jobs.size() + m_endingJobs.size());
}

bool CMainFrame::StartDownload(std::uintptr_t key)
{
    CDownloadTask* pTask = TaskFor(key);
    if (!pTask || m_bShuttingDown) {
        return false;
    }
    reapJobs();
    // One job per project at a time: a second one would write into the same pages and folder.
    if (m_jobs.count(key) != 0) {
        return false;
    }
    auto running = std::make_unique<RunningJob>();
    running->receiver =
        std::make_unique<CDownloadReceiver>([this](unsigned nMessage, const std::string& strText, int nCode) {
            OnDownloadMessage(nMessage, strText, nCode);
        });
    CDownloadTask task = *pTask;
    task.m_hNotifyWnd = running->receiver.get();
    if (task.m_bComplete) {
        CProjectObject project;
        if (QTreeWidgetItem* pProject = m_wndProjectBar->ProjectByKey(key)) {
            m_wndProjectBar->CollectPages(pProject, project);
        }
        PrepareCompleteTask(task, m_pCookies, project);
    }
    running->job = std::make_unique<CDownloadJob>(task);
    running->job->Start();
    m_jobs[key] = std::move(running);
    reapJobs();
    return true;
}

void CMainFrame::cancelJob(std::uintptr_t key)
{
    const auto it = m_jobs.find(key);
    if (it == m_jobs.end()) {
        return;
    }
    // No event of this job reaches the frame any more; its thread ends on its own and is collected later.
    it->second->receiver->Release();
    it->second->job->Cancel();
    m_endingJobs.push_back(std::move(it->second));
    m_jobs.erase(it);
}

void CMainFrame::deleteProjects(const std::vector<std::uintptr_t>& keys)
{
    for (const std::uintptr_t key : keys) {
        cancelJob(key);
        m_tasks.erase(key);
    }
}

void CMainFrame::reapJobs()
{
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if (it->second->job->IsFinished()) {
            it = m_jobs.erase(it);
        } else {
            ++it;
        }
    }
    std::erase_if(m_endingJobs, [](const std::unique_ptr<RunningJob>& running) { return running->job->IsFinished(); });
    if (m_jobs.empty() && m_endingJobs.empty()) {
        m_reapTimer.stop();
    } else if (!m_reapTimer.isActive() && !m_bShuttingDown) {
        m_reapTimer.start();
    }
}

void CMainFrame::shutdownJobs()
{
    m_bShuttingDown = true;
    m_idleTimer.stop();
    m_reapTimer.stop();
    // Release every receiver before joining any thread: a job blocked on its receiver is woken, and
    // none can block on the frame again.
    for (auto& [key, running] : m_jobs) {
        running->receiver->Release();
        running->job->Cancel();
    }
    for (auto& running : m_endingJobs) {
        running->receiver->Release();
        running->job->Cancel();
    }
    m_jobs.clear();
    m_endingJobs.clear();
}

void CMainFrame::setDownloadProgress(int nPercent)
{
    m_wndStatusBar->SetDownloadProgress(nPercent);
    if (nPercent == 100) {
        m_wndStatusBar->SetDownloadProgress(0);
    }
}

void CMainFrame::OnDownloadMessage(unsigned nMessage, const std::string& strText, int nCode)
{
    if (nMessage == WM_DOWNLOAD_RESULT && nCode == DR_PAGE_SAVED) {
        // page file, address, project key, title, n, total
        const std::vector<std::string> fields = SplitFields(strText);
        if (fields.size() == 6) {
            const std::uintptr_t key = std::strtoull(fields[2].c_str(), nullptr, 10);
            if (QTreeWidgetItem* project = m_wndProjectBar->ProjectByKey(key)) {
                m_wndProjectBar->AddPage(project, toQ(fields[3]), toQ(fields[0]), toQ(fields[1]), false);
            }
        }
    }
    const std::string strLine = DownloadLogLine(nMessage, strText, nCode);
    if (!strLine.empty()) {
        m_wndMessageBar->AppendLine(toQ(strLine));
    }
    if (const std::string strCause = DownloadFailureCause(nMessage, strText, nCode); !strCause.empty()) {
        m_wndMessageBar->AppendLine(toQ(strCause));
    }
    int n = 0;
    int nTotal = 0;
    if (nMessage == WM_DOWNLOAD_RESULT && DownloadProgressOf(strText, nCode, n, nTotal)) {
        setDownloadProgress(DownloadPercent(n, nTotal));
    }
    switch (nMessage) {
    case WM_PROJECT_MODIFIED:
        m_pDoc->MarkModified();
        break;
    case WM_DOWNLOAD_FINISHED: {
        m_pDoc->MarkModified();
        m_wndStatusBar->SetDownloadProgress(0);
        m_pDownloads->JobFinished(strText);
        break;
    }
    default:
        break;
    }
    scheduleUpdate();
}

namespace
{
QString localPageTitle(const std::string& strBytes)
{
    CPageScanner scanner;
    scanner.Reset();
    scanner.Parse(strBytes.data(), strBytes.size());
    return toQ(PageTitleText(scanner.Title(), strBytes));
}
} // namespace
