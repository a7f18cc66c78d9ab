#pragma once

#include <functional>

#include <QString>
#include <QWebEngineView>

class QWebEngineProfile;

// The web browser of one tab. The tab strip creates, shows, hides and destroys it; it reports its
// page's short title for the tab's text, remembers whether it can go back and forward, and reports its
// address and loading progress by signals. Addresses travel as text: a page shown from disk is reported
// as its local path ("/home/u/x/a.htm"), any other page as its full address ("about:blank").
class CMyWB final : public QWebEngineView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMyWB)

public:
    // Progress value meaning "no percentage can be computed".
    static constexpr int NO_PROGRESS = -10;
    // Tab texts are cut to this many characters (the cut text ends in "...").
    static constexpr int TITLE_LIMIT = 15;

    // Makes the browser of a window a page asks for (a new tab); may give null.
    using NewWindowFactory = std::function<CMyWB*()>;

    CMyWB(QWebEngineProfile* pProfile, NewWindowFactory newWindow, QWidget* pParent);
    ~CMyWB() override;

    // Percent from a progress event: -10 when the maximum is below 100 or a value is negative,
    // never more than 100.
    static int ComputeProgress(int nProgress, int nMax);
    // Cuts a title (counted in UTF-16 units, first cut to 79) to fit nLimit: a text of nLimit or more
    // characters becomes its first nLimit - 3 characters and "...".
    static QString ShortenTitle(const QString& strText, int nLimit);
    // How a typed address or local path becomes something to load.
    static QUrl AddressToUrl(const QString& strAddress);

    void Navigate(const QString& strAddress);
    // The address of the page in view: a local path for a page from disk, else the full address.
    QString LocationAddress() const;

    // Reports this browser's address (nFlag 0) or an empty one (nFlag -1).
    void NotifyAddress(int nFlag);
    // Reports this browser's progress for the gauge.
    void PushProgress();
    // A progress event; ExecuteBrowserCommand(stop) sends (100, 100) so a stopped page counts as done.
    void OnProgressChange(int nProgress, int nMax);
    // Stops loading; the page runs its unload handling when it is destroyed.
    void UnloadPage();

    // From now on nothing is reported.
    void DetachHost() { m_bDetached = true; }
    // Called by the page when it asks for a new window: a new tab at the end of the strip.
    CMyWB* OpenNewWindow();

    bool CanGoBack() const { return m_bCanGoBack; }
    bool CanGoForward() const { return m_bCanGoForward; }
    const QString& ShortTitle() const { return m_strShortTitle; }
    int Progress() const { return m_nProgress; }
    // Index of this browser's tab, kept current by the strip.
    int TabIndex() const { return m_nTabIndex; }
    void SetTabIndex(int nIndex) { m_nTabIndex = nIndex; }

signals:
    // The address to show in the address box; a non-empty one also selects the project page saved
    // under that path. Empty when the last tab was closed.
    void addressReported(const QString& strAddress);
    // The page-loading percentage for the page gauge (a negative value shows 0).
    void progressReported(int nPercent);
    // A progress event of the page at strLocation; only the page whose address the window shows moves
    // the window's progress. NO_PROGRESS when no percentage could be computed.
    void loadProgressed(int nPercent, const QString& strLocation);
    // Text for the status bar, e.g. the address of a link under the mouse.
    void statusTextReported(const QString& strText);
    // The page's title, cut for its tab.
    void tabTitleChanged(const QString& strTitle);

private:
    void onTitleChanged();
    void UpdateTabTitle(const QString& strDocumentTitle);

    NewWindowFactory m_newWindow;
    bool m_bDetached = false;
    bool m_bCanGoBack = false;
    bool m_bCanGoForward = false;
    QString m_strShortTitle;
    int m_nProgress = NO_PROGRESS;
    int m_nTabIndex = 0;
    // Set while the destructor runs: answers of scripts still on their way must not touch the tab.
    bool m_bDying = false;
};
