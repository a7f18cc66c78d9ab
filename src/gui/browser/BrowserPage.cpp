#include "browser/BrowserPage.h"

#include "browser/LocalFileGuard.h"
#include "browser/MyWB.h"

CBrowserPage::CBrowserPage(QWebEngineProfile* pProfile, CMyWB* pBrowser)
    : QWebEnginePage(pProfile, pBrowser)
    , m_pBrowser(pBrowser)
{}

CBrowserPage::~CBrowserPage() = default;

bool CBrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool bIsMainFrame)
{
    if (bIsMainFrame && !m_urlOpener.isEmpty() && url.isLocalFile() && type != NavigationTypeTyped &&
        type != NavigationTypeBackForward && type != NavigationTypeReload &&
        !CLocalFileGuard::IsInsideFolderOf(url, m_urlOpener)) {
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, bIsMainFrame);
}

QWebEnginePage* CBrowserPage::createWindow(WebWindowType type)
{
    // Every kind of new window (a link with a target, window.open, a dialog window) opens as a new
    // tab at the end of the strip, selected; the engine loads the requested page into it.
    (void)type;
    CMyWB* pNew = m_pBrowser->OpenNewWindow();
    if (!pNew) {
        return nullptr;
    }
    auto* pNewPage = static_cast<CBrowserPage*>(pNew->page());
    if (url().isLocalFile()) {
        pNewPage->m_urlOpener = url();
    }
    return pNewPage;
}

void CBrowserPage::javaScriptAlert(const QUrl& securityOrigin, const QString& strMessage)
{
    (void)securityOrigin;
    (void)strMessage;
}

bool CBrowserPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& strMessage)
{
    (void)securityOrigin;
    (void)strMessage;
    return false;
}

bool CBrowserPage::javaScriptPrompt(const QUrl& securityOrigin,
                                    const QString& strMessage,
                                    const QString& strDefaultValue,
                                    QString* pResult)
{
    (void)securityOrigin;
    (void)strMessage;
    (void)strDefaultValue;
    (void)pResult;
    return false;
}

void CBrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                            const QString& strMessage,
                                            int nLineNumber,
                                            const QString& strSourceId)
{
    (void)level;
    (void)strMessage;
    (void)nLineNumber;
    (void)strSourceId;
}
