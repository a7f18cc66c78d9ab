#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "platform/Event.h"

class CBrowserProfile;
class CBrowserTabCtrl;
class CChmSchemeHandler;
class CMyWB;
class CPagePrinter;
class QPrinter;
class QUrl;

// The browser view, the main frame's central widget: a tab strip whose tabs each show one page.
//
// Requests to show an address never navigate directly. They are written into one pending-address slot
// (the last writer wins, there is no queue) and wake the view's navigation thread with one of two
// auto-reset events: one asks for a new tab, the other for the selected tab to navigate. The thread
// hands each request to the user-interface thread, which alone touches the tabs and their browsers.
class CTrawlixView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTrawlixView)

public:
    // Without a profile the view makes its own, which keeps nothing on disk. Addresses, progress and
    // status texts go out by the signals below.
    explicit CTrawlixView(QWidget* pParent = nullptr, CBrowserProfile* pProfile = nullptr);
    ~CTrawlixView() override;

    // Shows an address or the local path of a saved page: in the selected tab, or in a new tab when
    // there is none. Stops the selected page first; an empty address only stops it.
    void ShowUrl(const QString& strAddress);
    // Opens an address in a new tab at the end of the strip.
    void OpenInNewTab(const QString& strAddress);
    // Opens an address at once in a new tab at the end of the strip, with the panel that makePanel
    // makes for the tab's browser at the left of its page (none when makePanel gives null).
    CMyWB* OpenInNewTab(const QUrl& url, const std::function<QWidget*(CMyWB*)>& makePanel);
    // The compiled help books of the view's profile.
    CChmSchemeHandler* Books();
    // Asks for the selected tab's address and short title to go to the favorites; nothing without a tab.
    void AddCurrentPageToFavorites();

    // Runs a command of the browser (browsercmd ids); true when the id is the view's.
    bool OnCommand(int nId);
    // Enable and check state of a command; true when the id is the view's (the flags are then set).
    bool UpdateCommand(int nId, bool& bEnabled, bool& bChecked) const;

    CBrowserTabCtrl* TabCtrl() const { return m_pTabCtrl; }
    CPagePrinter* PagePrinter() const { return m_pPagePrinter; }
    QPrinter* Printer() const { return m_pPrinter.get(); }
    CBrowserProfile* Profile() const { return m_pProfile; }
    // Index of the text-size command that carries the check mark: 0 (largest) .. 4 (smallest).
    int TextSizeLevel() const { return m_nTextSizeLevel; }

signals:
    // The address for the address box; empty when the last tab was closed.
    void addressReported(const QString& strAddress);
    // The page-loading percentage for the page gauge.
    void progressReported(int nPercent);
    // A progress event of the page at strLocation (CMyWB::NO_PROGRESS without a percentage).
    void loadProgressed(int nPercent, const QString& strLocation);
    void statusTextReported(const QString& strText);
    void favoriteRequested(const QString& strAddress, const QString& strTitle);

protected:
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    void createTabShortcuts();
    // Selects the tab nStep places on, going round at either end.
    void SelectTabBy(int nStep);
    void NavigationWorker();
    void SetPendingAndSignal(const QString& strAddress, bool bNewTab);
    QString TakePending();
    void Print();
    void PrintPreview();
    void ShowPreview(const QByteArray& pdf);
    void PrintSetup();

    // "NeroBrw": open the pending address in a new tab.
    CEvent m_evtNewTab;
    // "CurrBrw": open the pending address in the selected tab.
    CEvent m_evtCurrentTab;
    // Set with either of the two above (and at shutdown): the thread sleeps on this one alone.
    CEvent m_evtWake;
    std::atomic<bool> m_bQuit{false};
    std::mutex m_mutexPending;
    QString m_strPending;

    std::unique_ptr<CBrowserProfile> m_pOwnedProfile;
    CBrowserProfile* m_pProfile;
    CBrowserTabCtrl* m_pTabCtrl;
    int m_nTextSizeLevel;
    std::unique_ptr<QPrinter> m_pPrinter;
    CPagePrinter* m_pPagePrinter;
    std::thread m_thread;
};
