#include "app/MainFrame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QShortcut>
#include <QStandardPaths>
#include <QToolBar>
#include <QWebEngineProfile>

#include "app/AboutDlg.h"
#include "app/FrameActions.h"
#include "app/FrameLayout.h"
#include "app/MessageBar.h"
#include "app/MessageEdit.h"
#include "app/RecentFilesMenu.h"
#include "browser/BrowserCommands.h"
#include "browser/BrowserCookies.h"
#include "browser/BrowserProfile.h"
#include "browser/TrawlixView.h"
#include "chm/ChmCommand.h"
#include "chm/ChmReader.h"
#include "common/CommandIds.h"
#include "common/Text.h"
#include "epub/EpubCommand.h"
#include "favorites/FavoritesFolder.h"
#include "favorites/FavoritesMenu.h"
#include "jobs/DownloadJobs.h"
#include "project/ProjectBar.h"
#include "project/ProjectCommands.h"
#include "project/ProjectTree.h"
#include "project/TrawlixDoc.h"
#include "project/UpdateCommands.h"
#include "search/DesktopSearch.h"
#include "search/SearchHitTab.h"
#include "search/SearchPanel.h"
#include "ui/Icons.h"
#include "ui/ProgStatusBar.h"
#include "ui/ToolBarEx.h"
#include "wizards/DownloadCommands.h"

namespace
{
QString frameTitle()
{
    return QStringLiteral("Velloc 1.6");
}

} // namespace

CMainFrame::CMainFrame(QWidget* parent)
    : QMainWindow(parent)
    , m_prompts(CUserPrompts::interactive())
    , m_pDoc(new CTrawlixDoc(m_prompts, this, this))
    , m_pJobs(new CDownloadJobs(this))
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(frameTitle());
    setWindowIcon(appIcon());

    // The browser's profile (and with it the engine's helper processes) starts only once the window is
    // shown: WarmUpBrowser, or the first thing that needs it.
    m_pView = new CTrawlixView(this);
    m_pView->setObjectName(QStringLiteral("trawlixView"));
    setCentralWidget(m_pView);

    createActions();
    createBars();
    createToolBars();
    createMenus();
    wireDocument();
    wireSearch();
    wireJobs();
    wireView();
    CCommandContext context;
    context.pProjects = m_wndProjectBar;
    context.pJobs = m_pJobs;
    context.pPrompts = &m_prompts;
    context.pWindow = this;
    context.recordedUrls = [this](QString& strStartUrl, QString& strEndUrl) {
        GetRecordedUrls(strStartUrl, strEndUrl);
    };
    context.addressText = [this] { return GetAddressText(); };
    context.markModified = [this] { m_pDoc->MarkModified(); };
    context.showLog = [this] {
        m_wndMessageBar->show();
        m_wndMessageBar->ResetLog();
    };
    m_pDownloads = new CDownloadCommands(context, this);
    m_pProjects = new CProjectCommands(
        context, *m_pDoc, [this](const QString& strPath) { return OpenBook(strPath); }, this);
    m_pUpdates = new CUpdateCommands(context, *m_pDoc, this);
    connect(m_pUpdates, &CUpdateCommands::logLine, m_wndMessageBar, &CMessageBar::AppendLine);
    connect(m_pUpdates, &CUpdateCommands::updateFinished, this, &CMainFrame::scheduleUpdate);
    m_pFavorites->BuildFavoritesMenu();

    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(0);
    connect(&m_idleTimer, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
    qApp->installEventFilter(this);
    UpdateCommandStates();
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
    shutdown();
}

void CMainFrame::wireDocument()
{
    // The title carries " *" while the projects have unsaved changes.
    connect(m_pDoc, &CTrawlixDoc::modifiedChanged, this, [this](bool bModified) {
        const QString strTitle = windowTitle();
        const bool bMarked = strTitle.endsWith(CTrawlixDoc::ModifiedMarker());
        if (bModified && !bMarked) {
            setWindowTitle(strTitle + CTrawlixDoc::ModifiedMarker());
        } else if (!bModified && bMarked) {
            setWindowTitle(strTitle.chopped(CTrawlixDoc::ModifiedMarker().size()));
        }
    });
    connect(m_pDoc, &CTrawlixDoc::pathChanged, this, &CMainFrame::scheduleUpdate);
    connect(m_pDoc, &CTrawlixDoc::fileUsed, this, [this](const QString& strPath) {
        m_pRecentFiles->Add(strPath);
        scheduleUpdate();
    });
    m_pDoc->SetProjectSource({[this] {
                                  std::vector<CProjectObject> projects;
                                  m_wndProjectBar->CollectProjects(projects);
                                  return projects;
                              },
                              [this] { return m_wndProjectBar->GetRootText(); }});
    connect(m_wndProjectBar, &CProjectBar::projectModified, m_pDoc, &CTrawlixDoc::MarkModified);
}

void CMainFrame::wireJobs()
{
    connect(m_pJobs, &CDownloadJobs::pageSaved, this, [this](const CDownloadJobs::SavedPage& page) {
        if (QTreeWidgetItem* project = m_wndProjectBar->ProjectByKey(page.key)) {
            m_wndProjectBar->AddPage(project, page.strTitle, page.strFile, page.strUrl, false);
            m_pSearch->PageSaved(m_wndProjectBar->GetItemText(project), page.strTitle, page.strFile, page.strUrl);
        }
    });
    connect(m_pJobs, &CDownloadJobs::logLine, m_wndMessageBar, &CMessageBar::AppendLine);
    connect(m_pJobs, &CDownloadJobs::progressChanged, m_wndStatusBar, &CProgStatusBar::SetDownloadProgress);
    connect(m_pJobs, &CDownloadJobs::projectModified, m_pDoc, &CTrawlixDoc::MarkModified);
    connect(m_pJobs, &CDownloadJobs::jobEvent, this, &CMainFrame::scheduleUpdate);
    // A complete job gets the browser's cookies and knows the pages the project already has.
    m_pJobs->SetCompletePreparer([this](CDownloadTask& task) {
        CProjectObject project;
        if (QTreeWidgetItem* pProject = m_wndProjectBar->ProjectByKey(task.m_hProjectItem)) {
            m_wndProjectBar->CollectPages(pProject, project);
        }
        WarmUpBrowser();
        PrepareCompleteTask(task, m_pCookies, project);
    });
}

void CMainFrame::wireSearch()
{
    m_pSearch = new CDesktopSearch(toQ(CSearchIndex::DefaultPath()),
                                   {[this] {
                                        std::vector<CProjectObject> projects;
                                        m_wndProjectBar->CollectProjects(projects);
                                        return projects;
                                    },
                                    [this] { return m_pDoc->Path(); }},
                                   this);
    // Every edit of the projects marks the document modified; opening and saving use the file.
    connect(m_pDoc, &CTrawlixDoc::modifiedChanged, m_pSearch, [this](bool bModified) {
        if (bModified) {
            m_pSearch->ProjectsChanged();
        }
    });
    connect(m_pDoc, &CTrawlixDoc::fileUsed, m_pSearch, &CDesktopSearch::ProjectFileUsed);

    m_wndSearch = new CSearchPanel(*m_pSearch);
    m_wndProjectBar->SetSearchPanel(m_wndSearch);
    connect(m_wndSearch, &CSearchPanel::pageChosen, this,
            [this](const QString& strFile, const QString& strFind) { OpenSearchHit(*m_pView, strFile, strFind); });
    // Ctrl+F in the tree, Ctrl+Shift+F anywhere in the window.
    auto* inTree = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), m_wndProjectBar->Tree());
    inTree->setContext(Qt::WidgetShortcut);
    connect(inTree, &QShortcut::activated, m_wndSearch, &CSearchPanel::FocusBox);
    auto* anywhere = new QAction(this);
    anywhere->setObjectName(QStringLiteral("searchAction"));
    anywhere->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    anywhere->setShortcutContext(Qt::WindowShortcut);
    connect(anywhere, &QAction::triggered, this, [this] {
        m_wndProjectBar->show();
        m_wndSearch->FocusBox();
    });
    addAction(anywhere);
}

void CMainFrame::wireView()
{
    connect(m_pView, &CTrawlixView::addressReported, this, &CMainFrame::SetAddressText);
    connect(m_pView, &CTrawlixView::progressReported, this, &CMainFrame::SetProgress);
    // Only the page whose address the frame shows moves the frame's progress.
    connect(m_pView, &CTrawlixView::loadProgressed, this, [this](int nPercent, const QString& strLocation) {
        if (strLocation == GetAddressText()) {
            SetProgressValue(nPercent);
        }
    });
    connect(m_pView, &CTrawlixView::statusTextReported, m_wndStatusBar,
            [this](const QString& strText) { m_wndStatusBar->showMessage(strText); });
    connect(m_pView, &CTrawlixView::favoriteRequested, m_pFavorites, &CFavoritesMenu::AddFavorite);
}

void CMainFrame::shutdown()
{
    m_bShuttingDown = true;
    m_idleTimer.stop();
    m_pJobs->Shutdown();
}

// ---- construction -------------------------------------------------------------------------------

void CMainFrame::createActions()
{
    m_actions = CreateFrameActions(this, [this](int nId) { OnCommand(nId); });

    // F6 and Shift+F6 move the keyboard focus between the panes.
    const auto addPaneShortcut = [this](const QKeySequence& key, bool bForward) {
        auto* action = new QAction(this);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, bForward] {
            MoveFocusAmongPanes({m_wndProjectBar->Tree(), m_pView, m_wndMessageBar->Edit()}, bForward);
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
    m_pRecentFiles = new CRecentFilesMenu(file, m_prompts, this, this);
    connect(m_pRecentFiles, &CRecentFilesMenu::openRequested, this, &CMainFrame::OpenProjectFile);
    add(file, {0, cmd::ID_APP_EXIT});

    // Making a CHM file joins this menu once it is offered.
    QMenu* operate = bar->addMenu(QStringLiteral("操作(&E)"));
    operate->setObjectName(QStringLiteral("operateMenu"));
    add(operate, {browsercmd::ID_BACK, browsercmd::ID_FORWARD, browsercmd::ID_STOP, browsercmd::ID_REFRESH,
                  browsercmd::ID_NEW_BLANK_PAGE, 0, cmd::ID_BROWSE_PREV_PAGE, cmd::ID_BROWSE_NEXT_PAGE, 0,
                  cmd::ID_INSERT_BOOKMARK, cmd::ID_REMOVE_BOOKMARK, 0, cmd::ID_RECORD_START_URL, cmd::ID_RECORD_END_URL,
                  0, cmd::ID_STOP_DOWNLOAD});
    add(operate, {0, cmd::ID_MAKE_CHM, cmd::ID_MAKE_EPUB, 0, cmd::ID_UPDATE_PROJECT});

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
    for (const int nId : MainToolBarCommands()) {
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
    case cmd::ID_UPDATE_PROJECT:
        bEnabled = m_pUpdates && m_pUpdates->CanUpdate();
        return true;
    case cmd::ID_SAVE_PROJECT:
        bEnabled = m_pDoc->IsModified();
        return true;
    case cmd::ID_SAVE_PROJECT_AS:
        bEnabled = !m_pDoc->Path().isEmpty();
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
    m_pJobs->Reap();
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
    if (!strText.isEmpty()) {
        m_wndProjectBar->SelectPageShownAt(strText);
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

CRecentFileList& CMainFrame::RecentFiles()
{
    return m_pRecentFiles->List();
}

void CMainFrame::LoadBarSizes(const QString& strProfile)
{
    m_wndProjectBar->LoadBarSizes(strProfile);
    m_wndMessageBar->LoadBarSizes(strProfile);
}

void CMainFrame::SaveBarSizes(const QString& strProfile) const
{
    m_wndProjectBar->SaveBarSizes(strProfile);
    m_wndMessageBar->SaveBarSizes(strProfile);
}

void CMainFrame::WarmUpBrowser()
{
    if (!m_pCookies) {
        // Made with the profile, so the cookies it loads from disk are all seen.
        m_pCookies = new CBrowserCookies(m_pView->Profile()->profile()->cookieStore(), this);
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
        m_pProjects->Open();
        break;
    case cmd::ID_MAKE_EPUB:
    case cmd::ID_MAKE_EPUB_TREE:
        CEpubCommand(this, m_wndProjectBar, m_prompts).Run();
        break;
    case cmd::ID_SAVE_PROJECT:
        m_pDoc->Save();
        break;
    case cmd::ID_SAVE_PROJECT_AS:
        m_pDoc->SaveAs();
        break;
    case cmd::ID_ADD_LOCAL_PAGES:
        m_pProjects->AddLocalPages();
        break;
    case cmd::ID_UPDATE_PROJECT:
    case cmd::ID_UPDATE_PROJECT_TREE:
        m_pUpdates->UpdateProject();
        break;
    case cmd::ID_DELETE_NODE:
        m_pProjects->DeleteNode();
        break;
    case cmd::ID_RENAME_NODE:
        m_pProjects->RenameNode();
        break;
    case cmd::ID_BROWSE_PREV_PAGE:
        m_pProjects->BrowsePage(false);
        break;
    case cmd::ID_BROWSE_NEXT_PAGE:
        m_pProjects->BrowsePage(true);
        break;
    case cmd::ID_INSERT_BOOKMARK:
    case cmd::ID_INSERT_BOOKMARK_TREE:
        m_pProjects->SetBookmark(true);
        break;
    case cmd::ID_REMOVE_BOOKMARK:
    case cmd::ID_REMOVE_BOOKMARK_TREE:
        m_pProjects->SetBookmark(false);
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

// ---- the project file and books ----------------------------------------------------------------

bool CMainFrame::OpenProjectFile(const QString& strPath)
{
    const bool bOpened = m_pProjects->OpenFile(strPath);
    scheduleUpdate();
    return bOpened;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_pJobs->IsAnyDownloading() && m_prompts.messageBox(this, QMessageBox::Question, QStringLiteral("Trawlix"),
                                                            QStringLiteral("正在下载，确定要退出吗?"),
                                                            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    if (!m_pDoc->CanClose()) {
        event->ignore();
        return;
    }
    if (!m_strLayoutProfile.isEmpty()) {
        SaveFrameLayout(*this, m_strLayoutProfile);
        SaveBarSizes(m_strLayoutProfile);
    }
    shutdown();
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
