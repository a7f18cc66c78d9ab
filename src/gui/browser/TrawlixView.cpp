#include "browser/TrawlixView.h"

#include <utility>

#include <QAction>
#include <QOpenGLWidget>
#include <QPageSetupDialog>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QResizeEvent>
#include <QUrl>

#include "browser/BrowserCommands.h"
#include "browser/BrowserProfile.h"
#include "browser/BrowserTabCtrl.h"
#include "browser/MyWB.h"
#include "browser/PagePrinter.h"
#include "browser/PdfPages.h"

namespace
{
// Resolution of the pages a preview draws, and of pages printed from the preview.
constexpr qreal PREVIEW_DPI = 110;
constexpr qreal PRINT_DPI = 300;
} // namespace

CTrawlixView::CTrawlixView(QWidget* pParent, CBrowserProfile* pProfile)
    : QWidget(pParent)
    , m_pOwnedProfile(pProfile ? nullptr : std::make_unique<CBrowserProfile>())
    , m_pProfile(pProfile ? pProfile : m_pOwnedProfile.get())
    , m_pTabCtrl(new CBrowserTabCtrl(m_pProfile, this))
    , m_nTextSizeLevel(browsercmd::TEXT_SIZE_START_LEVEL)
    , m_pPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution))
    , m_pPagePrinter(new CPagePrinter(this))
{
    setObjectName(QStringLiteral("trawlixView"));
    // The view paints nothing itself: the strip covers it whole.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Pages are drawn through OpenGL. A window first made without it is made anew when the first page
    // shows (the screen goes black for a moment); with this hidden placeholder inside, the window is
    // made for OpenGL from the start.
    auto* pSurface = new QOpenGLWidget(this);
    pSurface->setObjectName(QStringLiteral("openGLPlaceholder"));
    pSurface->setAttribute(Qt::WA_DontShowOnScreen);
    pSurface->hide();
    connect(m_pTabCtrl, &CBrowserTabCtrl::addressReported, this, &CTrawlixView::addressReported);
    connect(m_pTabCtrl, &CBrowserTabCtrl::progressReported, this, &CTrawlixView::progressReported);
    connect(m_pTabCtrl, &CBrowserTabCtrl::loadProgressed, this, &CTrawlixView::loadProgressed);
    connect(m_pTabCtrl, &CBrowserTabCtrl::statusTextReported, this, &CTrawlixView::statusTextReported);
    connect(m_pPagePrinter, &CPagePrinter::statusTextReported, this, &CTrawlixView::statusTextReported);
    createTabShortcuts();
    m_thread = std::thread([this] { NavigationWorker(); });
}

CTrawlixView::~CTrawlixView()
{
    // The navigation thread only waits and posts, so it ends at once when asked; work it posted but the
    // event loop has not run yet dies with this object.
    m_bQuit = true;
    m_evtWake.SetEvent();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    delete m_pTabCtrl;
    m_pTabCtrl = nullptr;
}

void CTrawlixView::ShowUrl(const QString& strAddress)
{
    const bool bHasTab = m_pTabCtrl->Count() > 0;
    if (bHasTab) {
        m_pTabCtrl->ExecuteBrowserCommand(browsercmd::BC_STOP);
        if (CMyWB* pBrowser = m_pTabCtrl->CurrentBrowser()) {
            std::lock_guard lock(m_mutexPending);
            m_strPending = pBrowser->LocationAddress();
        }
    }
    if (!strAddress.isEmpty()) {
        SetPendingAndSignal(strAddress, !bHasTab);
    }
}

void CTrawlixView::OpenInNewTab(const QString& strAddress)
{
    SetPendingAndSignal(strAddress, true);
}

void CTrawlixView::AddCurrentPageToFavorites()
{
    CMyWB* pBrowser = m_pTabCtrl->CurrentBrowser();
    if (!pBrowser) {
        return;
    }
    const QString strAddress = pBrowser->LocationAddress();
    {
        std::lock_guard lock(m_mutexPending);
        m_strPending = strAddress;
    }
    emit favoriteRequested(strAddress, pBrowser->ShortTitle());
}

CMyWB* CTrawlixView::OpenInNewTab(const QUrl& url, const std::function<QWidget*(CMyWB*)>& makePanel)
{
    CMyWB* pBrowser = m_pTabCtrl->AddTab();
    if (QWidget* pPanel = makePanel ? makePanel(pBrowser) : nullptr) {
        m_pTabCtrl->SetSidePanel(pBrowser, pPanel);
    }
    pBrowser->load(url);
    return pBrowser;
}

CChmSchemeHandler* CTrawlixView::Books()
{
    return m_pProfile->Books();
}

bool CTrawlixView::OnCommand(int nId)
{
    using namespace browsercmd;
    static constexpr std::pair<int, BrowserCommand> BROWSER_COMMANDS[] = {
        {ID_BACK, BC_BACK}, {ID_FORWARD, BC_FORWARD}, {ID_STOP, BC_STOP}, {ID_REFRESH, BC_REFRESH}};
    for (const auto& [nCommandId, command] : BROWSER_COMMANDS) {
        if (nCommandId == nId) {
            m_pTabCtrl->ExecuteBrowserCommand(command);
            return true;
        }
    }
    switch (nId) {
    case ID_NEW_BLANK_PAGE:
        OpenInNewTab(QStringLiteral("about:blank"));
        return true;
    case ID_TEXT_LARGEST:
    case ID_TEXT_LARGER:
    case ID_TEXT_MEDIUM:
    case ID_TEXT_SMALLER:
    case ID_TEXT_SMALLEST:
        m_nTextSizeLevel = nId - ID_TEXT_LARGEST;
        m_pTabCtrl->SetZoom(TEXT_SIZE_LEVELS - 1 - m_nTextSizeLevel);
        return true;
    case ID_TAB_CLOSE:
    case ID_TAB_SAVE_AS:
        return m_pTabCtrl->OnMenuCommand(nId);
    case ID_FILE_PRINT:
        Print();
        return true;
    case ID_FILE_PRINT_PREVIEW:
        PrintPreview();
        return true;
    case ID_FILE_PRINT_SETUP:
        PrintSetup();
        return true;
    default:
        return false;
    }
}

bool CTrawlixView::UpdateCommand(int nId, bool& bEnabled, bool& bChecked) const
{
    using namespace browsercmd;
    switch (nId) {
    case ID_BACK:
    case ID_FORWARD: {
        bool bBack = false;
        bool bForward = false;
        m_pTabCtrl->GetNavigationState(bBack, bForward);
        bEnabled = nId == ID_BACK ? bBack : bForward;
        bChecked = false;
        return true;
    }
    case ID_STOP:
    case ID_REFRESH:
    case ID_NEW_BLANK_PAGE:
    case ID_TAB_CLOSE:
    case ID_TAB_SAVE_AS:
        bEnabled = true;
        bChecked = false;
        return true;
    case ID_TEXT_LARGEST:
    case ID_TEXT_LARGER:
    case ID_TEXT_MEDIUM:
    case ID_TEXT_SMALLER:
    case ID_TEXT_SMALLEST:
        bEnabled = true;
        bChecked = nId - ID_TEXT_LARGEST == m_nTextSizeLevel;
        return true;
    case ID_FILE_PRINT:
    case ID_FILE_PRINT_PREVIEW:
        // While a print runs the status bar says why these wait.
        bEnabled = m_pTabCtrl->Count() > 0 && !m_pPagePrinter->IsBusy();
        bChecked = false;
        return true;
    case ID_FILE_PRINT_SETUP:
        bEnabled = !m_pPagePrinter->IsBusy();
        bChecked = false;
        return true;
    default:
        return false;
    }
}

void CTrawlixView::createTabShortcuts()
{
    // The keys every tabbed browser has; they work wherever the keyboard focus is in the window.
    const auto add = [this](const QString& strName, QList<QKeySequence> keys, auto onTriggered) {
        auto* pAction = new QAction(this);
        pAction->setObjectName(strName);
        pAction->setShortcuts(keys);
        pAction->setShortcutContext(Qt::WindowShortcut);
        connect(pAction, &QAction::triggered, this, onTriggered);
        addAction(pAction);
    };
    add(QStringLiteral("closeTabAction"), {QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence(Qt::CTRL | Qt::Key_F4)},
        [this] { m_pTabCtrl->CloseTab(m_pTabCtrl->CurrentIndex()); });
    add(QStringLiteral("nextTabAction"),
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)}, [this] { SelectTabBy(1); });
    add(QStringLiteral("previousTabAction"),
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
         QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
        [this] { SelectTabBy(-1); });
}

void CTrawlixView::SelectTabBy(int nStep)
{
    const int nCount = m_pTabCtrl->Count();
    if (nCount < 2) {
        return;
    }
    m_pTabCtrl->SelectTab((m_pTabCtrl->CurrentIndex() + nStep + nCount) % nCount);
}

void CTrawlixView::resizeEvent(QResizeEvent* pEvent)
{
    QWidget::resizeEvent(pEvent);
    m_pTabCtrl->setGeometry(0, 0, width(), height());
}

void CTrawlixView::NavigationWorker()
{
    // Runs on the navigation thread for the life of the view. Each request is carried out on the
    // user-interface thread by a queued call: the thread never waits for that thread, so it cannot
    // block the view's destruction.
    while (!m_bQuit) {
        bool bNewTab = false;
        if (m_evtNewTab.Wait(0)) {
            bNewTab = true;
        } else if (!m_evtCurrentTab.Wait(0)) {
            m_evtWake.Wait();
            continue;
        }
        if (m_bQuit) {
            break;
        }
        const QString strAddress = TakePending();
        QMetaObject::invokeMethod(
            this,
            [this, strAddress, bNewTab] {
                m_pTabCtrl->SetNavigationAddress(strAddress);
                if (bNewTab) {
                    m_pTabCtrl->AddTab();
                    m_pTabCtrl->ExecuteBrowserCommand(browsercmd::BC_NAVIGATE_NEW);
                } else {
                    m_pTabCtrl->ExecuteBrowserCommand(browsercmd::BC_NAVIGATE_SELECTED);
                }
            },
            Qt::QueuedConnection);
    }
}

void CTrawlixView::SetPendingAndSignal(const QString& strAddress, bool bNewTab)
{
    {
        std::lock_guard lock(m_mutexPending);
        m_strPending = strAddress;
    }
    (bNewTab ? m_evtNewTab : m_evtCurrentTab).SetEvent();
    m_evtWake.SetEvent();
}

QString CTrawlixView::TakePending()
{
    std::lock_guard lock(m_mutexPending);
    return m_strPending;
}

void CTrawlixView::Print()
{
    CMyWB* pBrowser = m_pTabCtrl->CurrentBrowser();
    if (!pBrowser || m_pPagePrinter->IsBusy()) {
        return;
    }
    QPrintDialog dialog(m_pPrinter.get(), this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_pPrinter->setDocName(pBrowser->title());
    m_pPagePrinter->Print(pBrowser->page(), *m_pPrinter);
}

void CTrawlixView::PrintPreview()
{
    CMyWB* pBrowser = m_pTabCtrl->CurrentBrowser();
    if (!pBrowser) {
        return;
    }
    // The page is laid out for the printer's paper as a PDF first; the preview then draws those pages,
    // so the preview shows exactly what printing would.
    QPointer<CTrawlixView> pSelf(this);
    m_pPagePrinter->MakePdf(pBrowser->page(), *m_pPrinter, [pSelf](const QByteArray& pdf) {
        if (!pSelf || pdf.isEmpty()) {
            return;
        }
        QMetaObject::invokeMethod(
            pSelf.data(), [pSelf, pdf] { pSelf->ShowPreview(pdf); }, Qt::QueuedConnection);
    });
}

void CTrawlixView::ShowPreview(const QByteArray& pdf)
{
    CPdfPages pages(pdf);
    if (!pages.IsReady()) {
        return;
    }
    QPrintPreviewDialog dialog(m_pPrinter.get(), this);
    dialog.setObjectName(QStringLiteral("printPreview"));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&pages](QPrinter* pPrinter) {
        QPainter painter(pPrinter);
        // The preview shows pages at screen size; printing from it draws them finer.
        const bool bPreview = painter.paintEngine()->type() == QPaintEngine::Picture;
        pages.Draw(*pPrinter, painter, bPreview ? PREVIEW_DPI : PRINT_DPI);
    });
    dialog.exec();
}

void CTrawlixView::PrintSetup()
{
    if (m_pPagePrinter->IsBusy()) {
        return;
    }
    QPageSetupDialog dialog(m_pPrinter.get(), this);
    dialog.exec();
}
