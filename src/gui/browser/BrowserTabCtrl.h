#pragma once

#include <memory>
#include <vector>

#include <QPoint>
#include <QString>
#include <QWidget>

class CBrowserTabRow;
class CMyWB;
class CBrowserProfile;

// One browser and the key it was given; the key stays unique while the browser lives.
struct BrowserNode
{
    std::unique_ptr<CMyWB> pBrowser;
    int nKey = 0;
    // Shown at the left of the browser in its tab (a book's contents); goes before the browser.
    std::unique_ptr<QWidget> pSidePanel;
};

// The tab strip of the browser view: a row of tabs over the area where the browser of the selected
// tab is shown. Every tab owns one browser; the browsers of the other tabs are hidden. What the
// browsers report (address, progress, status texts) comes out of the strip's signals of the same names.
class CBrowserTabCtrl final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CBrowserTabCtrl)

public:
    // Keys of browsers start here again whenever the strip has no tab.
    static constexpr int FIRST_KEY = 0x9000;

    CBrowserTabCtrl(CBrowserProfile* pProfile, QWidget* pParent);
    ~CBrowserTabCtrl() override;

    // Appends a tab with a new browser; the tab becomes selected and its browser the visible one.
    CMyWB* AddTab();
    // Puts pPanel at the left of pBrowser's page, in its tab, for the tab's life (the strip owns it).
    void SetSidePanel(CMyWB* pBrowser, QWidget* pPanel);
    QWidget* SidePanelOf(const CMyWB* pBrowser) const;
    // Runs a browsercmd::BrowserCommand on the current browser with the navigation address; nothing
    // when there is no tab.
    void ExecuteBrowserCommand(int nCommand);
    void SetNavigationAddress(const QString& strAddress) { m_strNavigationAddress = strAddress; }
    const QString& NavigationAddress() const { return m_strNavigationAddress; }
    // Sets the text of tab nIndex; an empty text is ignored.
    void SetTabText(const QString& strText, int nIndex);
    // Text size 0 (smallest) .. 4 (largest) for the current browser only.
    void SetZoom(int nValue);
    // Copies the current browser's back and forward states; leaves both untouched without a tab.
    void GetNavigationState(bool& bCanGoBack, bool& bCanGoForward) const;

    // Closes tab nIndex; selects the tab that took its place, or the one before it when it was the
    // last. Closing the only tab empties the strip and the host's address box.
    void CloseTab(int nIndex);
    // Closes tab nIndex by its close button or a middle click: a tab other than the selected one goes
    // without taking the selection away from the page being read.
    void CloseTabByButton(int nIndex);
    // Selects tab nIndex as a click on it does.
    void SelectTab(int nIndex);
    // Moves tab nFrom to position nTo with its browser and page; the moved tab becomes the visible one.
    void MoveTab(int nFrom, int nTo);
    // The tab menu's commands (close, save as) act on the tab under the point of the last menu request.
    bool OnMenuCommand(int nId);
    void SetMenuPoint(const QPoint& pt) { m_ptMenu = pt; }
    // Saves the page of tab nIndex as a complete page (the file plus a folder of its parts), or as a
    // single MIME archive when the name ends in ".mht"/".mhtml". False when the save cannot start.
    bool SaveTabAs(int nIndex, const QString& strPath);

    int Count() const;
    int CurrentIndex() const;
    QString TabText(int nIndex) const;
    int KeyAt(int nIndex) const;
    CMyWB* BrowserAt(int nIndex) const;
    CMyWB* CurrentBrowser() const;
    int NodeCount() const { return static_cast<int>(m_nodes.size()); }
    int NextKey() const { return m_nNextKey; }
    CBrowserTabRow* TabRow() const { return m_pTabRow; }

signals:
    void addressReported(const QString& strAddress);
    void progressReported(int nPercent);
    void loadProgressed(int nPercent, const QString& strLocation);
    void statusTextReported(const QString& strText);

protected:
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    void ShowOnlyCurrent();
    // Places and shows or hides a browser together with its side panel.
    void PlaceBrowser(CMyWB* pBrowser);
    void SetBrowserVisible(CMyWB* pBrowser, bool bVisible);
    void HideBrowser(CMyWB* pBrowser, CMyWB* pShown);
    void RenumberTabs();
    int RemoveBrowser(int nKey, int nIndex);
    void onCurrentChanged(int nIndex);
    void ShowTabMenu(const QPoint& ptLocal, const QPoint& ptGlobal);
    void SaveTabWithDialog(int nIndex);
    QRect BrowserArea() const;
    const BrowserNode* FindNode(int nKey) const;

    CBrowserProfile* m_pProfile;
    CBrowserTabRow* m_pTabRow;
    // All browsers in creation order (not tab order).
    std::vector<BrowserNode> m_nodes;
    // Key of the node whose browser is visible; 0 when there is no tab.
    int m_nCurrentKey = 0;
    QString m_strNavigationAddress;
    int m_nNextKey = FIRST_KEY;
    QPoint m_ptMenu{-1, -1};
    // Set while the strip itself changes the tab row, whose selection signals it then ignores.
    bool m_bUpdating = false;
};
