#pragma once

#include <QHash>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include "common/UserPrompts.h"

class CDesktopSearch;
class CDownloadCommands;
class CRecentFileList;
class CDownloadJobs;
class CFavoritesMenu;
class CMessageBar;
class CProgStatusBar;
class CProjectBar;
class CProjectCommands;
class CUpdateCommands;
class CRecentFilesMenu;
class CSearchPanel;
class CToolBarEx;
class CTrawlixDoc;
class CTrawlixView;
class CBrowserCookies;
class QAction;
class QComboBox;
class QMenu;
class QToolBar;

// The main window: menus, toolbars and the address box above the browser view, the project window at
// the left, the message window at the bottom and the status bar with its two gauges. It builds them
// and wires them to the document (the project file), the download jobs and the command classes, and
// routes each command by its id.
class CMainFrame final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMainFrame)

public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CTrawlixDoc* Document() const { return m_pDoc; }
    CDownloadJobs* Jobs() const { return m_pJobs; }
    QAction* Action(int nId) const { return m_actions.value(nId, nullptr); }

    // Message boxes, dialogs and file choosers go through these; tests put in their own answers.
    CUserPrompts& Prompts() { return m_prompts; }
    void SetPrompts(CUserPrompts prompts) { m_prompts = std::move(prompts); }

    // Frame services used across the program.
    void NavigateTo(const QString& strAddress);
    void GetRecordedUrls(QString& strStartUrl, QString& strEndUrl) const;

    // What the browser reports. A non-empty address also selects the project page saved under that
    // path; the progress goes to the page gauge at once, the progress value at the next idle update
    // (-10: no percentage).
    void SetAddressText(const QString& strText);
    QString GetAddressText() const;
    void SetProgress(int nPercent);
    void SetProgressValue(int nPercent);

    // Opens a project file (or a book, by its name); false when nothing was opened.
    bool OpenProjectFile(const QString& strPath);
    // Opens a compiled help file in a new tab of the browser; says why when it cannot.
    bool OpenBook(const QString& strPath);

    // Runs a command by id, as its menu item, button or shortcut does.
    void OnCommand(int nId);
    // The idle update: enable and check states of every command, and the page gauge.
    void UpdateCommandStates();

    CDownloadCommands* Downloads() const { return m_pDownloads; }
    CDesktopSearch* Search() const { return m_pSearch; }
    CRecentFileList& RecentFiles();

    // Brings the window to the front (a second start of the program asks for this).
    void Activate();
    // The sizes of the project and message windows, kept under a profile name between runs.
    void LoadBarSizes(const QString& strProfile);
    void SaveBarSizes(const QString& strProfile) const;
    // The layout (bars, toolbars, window place) is saved under this profile when the window closes,
    // while every bar is still where the user left it: the application's quit closes floating bars
    // after the window, and a layout saved then would lose them.
    void SetLayoutProfile(const QString& strProfile) { m_strLayoutProfile = strProfile; }
    // Starts the web engine's profile, which the first page would otherwise wait for.
    void WarmUpBrowser();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBars();
    void createBars();
    void scheduleUpdate();
    bool updateCommand(int nId, bool& bEnabled, bool& bChecked) const;

    void wireDocument();
    void wireJobs();
    void wireSearch();
    void wireView();
    void shutdown();
    void onRecordUrl(QString& strUrl);
    void onAbout();
    void onAddressEntered();

    // Declared first: the document, the jobs and the commands ask through it.
    CUserPrompts m_prompts;
    CTrawlixDoc* m_pDoc;
    int m_nProgress = 0;
    CProgStatusBar* m_wndStatusBar = nullptr;
    CToolBarEx* m_wndToolBar = nullptr;
    QToolBar* m_wndAddressBar = nullptr;
    QComboBox* m_wndAddress = nullptr;
    CProjectBar* m_wndProjectBar = nullptr;
    CMessageBar* m_wndMessageBar = nullptr;
    CToolBarEx* m_wndProjectToolBar = nullptr;
    CTrawlixView* m_pView = nullptr;
    CFavoritesMenu* m_pFavorites = nullptr;
    CBrowserCookies* m_pCookies = nullptr; // the browser's cookies, for complete jobs
    CDownloadJobs* m_pJobs = nullptr;
    CDesktopSearch* m_pSearch = nullptr;
    CSearchPanel* m_wndSearch = nullptr;
    QString m_strStartUrl;
    QString m_strLayoutProfile;
    QString m_strEndUrl;

    CDownloadCommands* m_pDownloads = nullptr;
    CProjectCommands* m_pProjects = nullptr;
    CUpdateCommands* m_pUpdates = nullptr;
    CRecentFilesMenu* m_pRecentFiles = nullptr;
    QHash<int, QAction*> m_actions;
    QTimer m_idleTimer;
    bool m_bShuttingDown = false;
};
