#include "browser/BrowserTabCtrl.h"

#include <algorithm>
#include <memory>

#include <QApplication>
#include <QFileDialog>
#include <QMenu>
#include <QResizeEvent>
#include <QWebEnginePage>

#include "browser/BrowserCommands.h"
#include "browser/BrowserProfile.h"
#include "browser/BrowserTabRow.h"
#include "browser/MyWB.h"
#include "common/UserPrompts.h"

namespace
{
// How the zoom values 0 (smallest) .. 4 (largest) scale a page.
constexpr double ZOOM_FACTORS[] = {0.75, 0.875, 1.0, 1.25, 1.5};
} // namespace

CBrowserTabCtrl::CBrowserTabCtrl(CBrowserProfile* pProfile, QWidget* pParent)
    : QWidget(pParent)
    , m_pProfile(pProfile)
    , m_pTabRow(new CBrowserTabRow(this))
{
    setObjectName(QStringLiteral("browserTabCtrl"));
    setFocusPolicy(Qt::NoFocus);
    // Without a tab nothing else covers the view: the strip fills itself with the window colour then,
    // and behind its tabs, so no stale pixels of earlier layouts show through.
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    connect(m_pTabRow, &QTabBar::currentChanged, this, &CBrowserTabCtrl::onCurrentChanged);
    connect(m_pTabRow, &CBrowserTabRow::closeSelectedRequested, this, [this] {
        if (Count() > 0) {
            CloseTab(m_pTabRow->currentIndex());
        }
    });
    connect(m_pTabRow, &CBrowserTabRow::closeRequested, this, &CBrowserTabCtrl::CloseTabByButton);
    connect(m_pTabRow, &CBrowserTabRow::moveRequested, this, &CBrowserTabCtrl::MoveTab);
    connect(m_pTabRow, &CBrowserTabRow::menuRequested, this, &CBrowserTabCtrl::ShowTabMenu);
}

CBrowserTabCtrl::~CBrowserTabCtrl()
{
    // Browsers go first, in creation order, while the row and the profile they use still exist. The
    // host may already be on its way out (the view dies with the frame), so nothing reports to it now.
    m_bUpdating = true;
    for (const BrowserNode& node : m_nodes) {
        node.pBrowser->DetachHost();
    }
    m_nodes.clear();
}

CMyWB* CBrowserTabCtrl::AddTab()
{
    // A window a page opens becomes a new tab at the end of the strip.
    auto pBrowser = std::make_unique<CMyWB>(
        m_pProfile->profile(), [this] { return AddTab(); }, this);
    CMyWB* pNew = pBrowser.get();
    connect(pNew, &CMyWB::addressReported, this, &CBrowserTabCtrl::addressReported);
    connect(pNew, &CMyWB::progressReported, this, &CBrowserTabCtrl::progressReported);
    connect(pNew, &CMyWB::loadProgressed, this, &CBrowserTabCtrl::loadProgressed);
    connect(pNew, &CMyWB::statusTextReported, this, &CBrowserTabCtrl::statusTextReported);
    connect(pNew, &CMyWB::tabTitleChanged, this,
            [this, pNew](const QString& strTitle) { SetTabText(strTitle, pNew->TabIndex()); });
    pNew->setGeometry(BrowserArea());
    const int nKey = m_nNextKey++;
    m_nodes.push_back(BrowserNode{std::move(pBrowser), nKey, nullptr});
    m_nCurrentKey = nKey;
    ShowOnlyCurrent();

    m_bUpdating = true;
    const int nIndex = m_pTabRow->addTab(QStringLiteral("About:blank"));
    m_pTabRow->setTabData(nIndex, nKey);
    m_pTabRow->setCurrentIndex(nIndex);
    m_bUpdating = false;
    pNew->SetTabIndex(nIndex);
    return pNew;
}

void CBrowserTabCtrl::SetSidePanel(CMyWB* pBrowser, QWidget* pPanel)
{
    for (BrowserNode& node : m_nodes) {
        if (node.pBrowser.get() == pBrowser) {
            pPanel->setParent(this);
            node.pSidePanel.reset(pPanel);
            PlaceBrowser(pBrowser);
            SetBrowserVisible(pBrowser, !pBrowser->isHidden());
            return;
        }
    }
}

QWidget* CBrowserTabCtrl::SidePanelOf(const CMyWB* pBrowser) const
{
    for (const BrowserNode& node : m_nodes) {
        if (node.pBrowser.get() == pBrowser) {
            return node.pSidePanel.get();
        }
    }
    return nullptr;
}

void CBrowserTabCtrl::PlaceBrowser(CMyWB* pBrowser)
{
    const QRect rcArea = BrowserArea();
    QWidget* pPanel = SidePanelOf(pBrowser);
    if (!pPanel) {
        pBrowser->setGeometry(rcArea);
        return;
    }
    const int nPanelWidth = std::clamp(rcArea.width() / 4, 160, 320);
    pPanel->setGeometry(rcArea.x(), rcArea.y(), nPanelWidth, rcArea.height());
    pBrowser->setGeometry(rcArea.x() + nPanelWidth, rcArea.y(), std::max(0, rcArea.width() - nPanelWidth),
                          rcArea.height());
}

void CBrowserTabCtrl::SetBrowserVisible(CMyWB* pBrowser, bool bVisible)
{
    pBrowser->setVisible(bVisible);
    if (QWidget* pPanel = SidePanelOf(pBrowser)) {
        pPanel->setVisible(bVisible);
    }
}

void CBrowserTabCtrl::ExecuteBrowserCommand(int nCommand)
{
    CMyWB* pBrowser = CurrentBrowser();
    if (!pBrowser) {
        return;
    }
    switch (nCommand) {
    case browsercmd::BC_STOP:
        pBrowser->stop();
        pBrowser->OnProgressChange(100, 100);
        break;
    case browsercmd::BC_REFRESH:
        pBrowser->reload();
        break;
    case browsercmd::BC_BACK:
        pBrowser->back();
        break;
    case browsercmd::BC_FORWARD:
        pBrowser->forward();
        break;
    case browsercmd::BC_NAVIGATE_SELECTED:
        pBrowser->SetTabIndex(m_pTabRow->currentIndex());
        pBrowser->Navigate(m_strNavigationAddress);
        break;
    case browsercmd::BC_NAVIGATE_NEW:
        pBrowser->Navigate(m_strNavigationAddress);
        break;
    default:
        break;
    }
}

void CBrowserTabCtrl::SetTabText(const QString& strText, int nIndex)
{
    if (strText.isEmpty() || nIndex < 0 || nIndex >= Count()) {
        return;
    }
    m_pTabRow->setTabText(nIndex, strText);
}

void CBrowserTabCtrl::SetZoom(int nValue)
{
    CMyWB* pBrowser = CurrentBrowser();
    if (!pBrowser || nValue < 0 || nValue >= browsercmd::TEXT_SIZE_LEVELS) {
        return;
    }
    pBrowser->setZoomFactor(ZOOM_FACTORS[nValue]);
}

void CBrowserTabCtrl::GetNavigationState(bool& bCanGoBack, bool& bCanGoForward) const
{
    if (const CMyWB* pBrowser = CurrentBrowser()) {
        bCanGoBack = pBrowser->CanGoBack();
        bCanGoForward = pBrowser->CanGoForward();
    }
}

void CBrowserTabCtrl::CloseTab(int nIndex)
{
    if (nIndex < 0 || nIndex >= Count()) {
        return;
    }
    const int nKey = KeyAt(nIndex);
    m_bUpdating = true;
    m_pTabRow->removeTab(nIndex);
    m_bUpdating = false;
    const int nSelect = RemoveBrowser(nKey, nIndex);
    if (m_nCurrentKey != 0 && nSelect != -1) {
        m_bUpdating = true;
        m_pTabRow->setCurrentIndex(nSelect);
        m_bUpdating = false;
        ShowOnlyCurrent();
        RenumberTabs();
    }
}

void CBrowserTabCtrl::CloseTabByButton(int nIndex)
{
    const int nKeepKey = nIndex != CurrentIndex() ? m_nCurrentKey : 0;
    CloseTab(nIndex);
    for (int i = 0; nKeepKey != 0 && i < Count(); ++i) {
        if (KeyAt(i) == nKeepKey) {
            SelectTab(i);
        }
    }
}

void CBrowserTabCtrl::SelectTab(int nIndex)
{
    if (nIndex >= 0 && nIndex < Count()) {
        m_pTabRow->setCurrentIndex(nIndex);
    }
}

int CBrowserTabCtrl::RemoveBrowser(int nKey, int nIndex)
{
    if (m_nodes.size() == 1) {
        // The last tab: the host's address box empties and the strip starts afresh.
        m_nodes.front().pBrowser->NotifyAddress(-1);
        m_nodes.clear();
        m_nCurrentKey = 0;
        m_nNextKey = FIRST_KEY;
        m_ptMenu = QPoint(-1, -1);
        return -1;
    }
    auto it =
        std::find_if(m_nodes.begin(), m_nodes.end(), [nKey](const BrowserNode& node) { return node.nKey == nKey; });
    if (it == m_nodes.end()) {
        return nIndex;
    }
    std::unique_ptr<CMyWB> pRemoved = std::move(it->pBrowser);
    m_nodes.erase(it);
    if (nIndex >= Count()) {
        nIndex = Count() - 1;
    }
    m_nCurrentKey = KeyAt(nIndex);
    pRemoved.reset();
    return nIndex;
}

void CBrowserTabCtrl::MoveTab(int nFrom, int nTo)
{
    if (nFrom == nTo || nFrom < 0 || nTo < 0 || nFrom >= Count() || nTo >= Count()) {
        return;
    }
    const int nKey = KeyAt(nFrom);
    if (CMyWB* pMoved = BrowserAt(nFrom)) {
        pMoved->UnloadPage();
    }
    m_bUpdating = true;
    m_pTabRow->moveTab(nFrom, nTo);
    m_pTabRow->setCurrentIndex(nTo);
    m_bUpdating = false;
    m_nCurrentKey = nKey;
    RenumberTabs();
    ShowOnlyCurrent();
    m_pTabRow->repaint();
}

bool CBrowserTabCtrl::OnMenuCommand(int nId)
{
    if (nId != browsercmd::ID_TAB_CLOSE && nId != browsercmd::ID_TAB_SAVE_AS) {
        return false;
    }
    const int nIndex = m_pTabRow->tabAt(m_ptMenu);
    if (nIndex < 0) {
        return true;
    }
    if (nId == browsercmd::ID_TAB_CLOSE) {
        CloseTab(nIndex);
        m_ptMenu = QPoint(-1, -1);
    } else {
        SaveTabWithDialog(nIndex);
    }
    return true;
}

bool CBrowserTabCtrl::SaveTabAs(int nIndex, const QString& strPath)
{
    CMyWB* pBrowser = BrowserAt(nIndex);
    if (!pBrowser || strPath.isEmpty() || pBrowser->url().isEmpty()) {
        return false;
    }
    const bool bArchive = strPath.endsWith(QStringLiteral(".mht"), Qt::CaseInsensitive) ||
                          strPath.endsWith(QStringLiteral(".mhtml"), Qt::CaseInsensitive);
    pBrowser->page()->save(strPath, bArchive ? QWebEngineDownloadRequest::MimeHtmlSaveFormat
                                             : QWebEngineDownloadRequest::CompleteHtmlSaveFormat);
    return true;
}

void CBrowserTabCtrl::SaveTabWithDialog(int nIndex)
{
    CMyWB* pBrowser = BrowserAt(nIndex);
    if (!pBrowser || pBrowser->url().isEmpty()) {
        return;
    }
    QString strName = pBrowser->title();
    strName.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (strName.isEmpty()) {
        strName = QStringLiteral("page");
    }
    std::unique_ptr<QFileDialog> dialog =
        MakeFileChooser(this, QStringLiteral("另存为"),
                        QStringLiteral("网页，全部 (*.htm *.html);;Web 档案，单一文件 (*.mht *.mhtml)"));
    dialog->setObjectName(QStringLiteral("saveTabDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->selectFile(strName + QStringLiteral(".htm"));
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
        SaveTabAs(nIndex, dialog->selectedFiles().constFirst());
    }
}

void CBrowserTabCtrl::ShowTabMenu(const QPoint& ptLocal, const QPoint& ptGlobal)
{
    m_ptMenu = ptLocal;
    auto* pMenu = new QMenu(this);
    pMenu->setObjectName(QStringLiteral("browserTabMenu"));
    pMenu->setAttribute(Qt::WA_DeleteOnClose);
    for (int nId : {browsercmd::ID_TAB_CLOSE, browsercmd::ID_TAB_SAVE_AS}) {
        QAction* pAction = pMenu->addAction(browsercmd::MenuText(nId));
        pAction->setData(nId);
        // Queued, so the menu has closed before a tab (and perhaps the menu's parent row) changes.
        connect(
            pAction, &QAction::triggered, this, [this, nId] { OnMenuCommand(nId); }, Qt::QueuedConnection);
    }
    pMenu->popup(ptGlobal);
}

int CBrowserTabCtrl::Count() const
{
    return m_pTabRow->count();
}

int CBrowserTabCtrl::CurrentIndex() const
{
    return Count() > 0 ? m_pTabRow->currentIndex() : -1;
}

QString CBrowserTabCtrl::TabText(int nIndex) const
{
    return m_pTabRow->tabText(nIndex);
}

int CBrowserTabCtrl::KeyAt(int nIndex) const
{
    if (nIndex < 0 || nIndex >= Count()) {
        return 0;
    }
    return m_pTabRow->tabData(nIndex).toInt();
}

CMyWB* CBrowserTabCtrl::BrowserAt(int nIndex) const
{
    const BrowserNode* pNode = FindNode(KeyAt(nIndex));
    return pNode ? pNode->pBrowser.get() : nullptr;
}

CMyWB* CBrowserTabCtrl::CurrentBrowser() const
{
    const BrowserNode* pNode = FindNode(m_nCurrentKey);
    return pNode ? pNode->pBrowser.get() : nullptr;
}

void CBrowserTabCtrl::resizeEvent(QResizeEvent* pEvent)
{
    QWidget::resizeEvent(pEvent);
    m_pTabRow->setGeometry(0, 0, width(), m_pTabRow->RowHeight());
    for (const BrowserNode& node : m_nodes) {
        PlaceBrowser(node.pBrowser.get());
    }
}

void CBrowserTabCtrl::ShowOnlyCurrent()
{
    CMyWB* pCurrent = CurrentBrowser();
    if (pCurrent) {
        SetBrowserVisible(pCurrent, true);
        pCurrent->NotifyAddress(0);
        pCurrent->PushProgress();
    }
    for (const BrowserNode& node : m_nodes) {
        if (node.pBrowser.get() != pCurrent) {
            HideBrowser(node.pBrowser.get(), pCurrent);
        }
    }
}

void CBrowserTabCtrl::HideBrowser(CMyWB* pBrowser, CMyWB* pShown)
{
    // Hiding the page that has the keyboard focus would pass the focus on to whatever widget comes next
    // in the window (a toolbar button); it goes to the page now in view instead.
    QWidget* pFocus = QApplication::focusWidget();
    if (pShown && pFocus && (pFocus == pBrowser || pBrowser->isAncestorOf(pFocus))) {
        pShown->setFocus(Qt::OtherFocusReason);
    }
    SetBrowserVisible(pBrowser, false);
}

void CBrowserTabCtrl::RenumberTabs()
{
    for (int i = 0; i < Count(); ++i) {
        if (CMyWB* pBrowser = BrowserAt(i)) {
            pBrowser->SetTabIndex(i);
        }
    }
}

void CBrowserTabCtrl::onCurrentChanged(int nIndex)
{
    if (m_bUpdating || nIndex < 0) {
        return;
    }
    CMyWB* pOld = CurrentBrowser();
    m_nCurrentKey = KeyAt(nIndex);
    CMyWB* pNew = CurrentBrowser();
    if (pNew) {
        SetBrowserVisible(pNew, true);
    }
    if (pOld && pOld != pNew) {
        HideBrowser(pOld, pNew);
    }
    if (pNew) {
        pNew->NotifyAddress(0);
        pNew->PushProgress();
    }
}

QRect CBrowserTabCtrl::BrowserArea() const
{
    const int nTop = m_pTabRow->RowHeight();
    return {0, nTop, width(), std::max(0, height() - nTop)};
}

const BrowserNode* CBrowserTabCtrl::FindNode(int nKey) const
{
    auto it =
        std::find_if(m_nodes.begin(), m_nodes.end(), [nKey](const BrowserNode& node) { return node.nKey == nKey; });
    return it == m_nodes.end() ? nullptr : &*it;
}
