#pragma once

#include <QUrl>
#include <QWebEnginePage>

class CMyWB;

// The page of one tab. It decides what a page may do beyond showing itself: a request for a new
// window becomes a new tab, and the page shows no dialog boxes of its own (script alerts, questions
// and prompts are answered silently, console output is dropped).
//
// A window opened by a page from disk stays reachable by that page's scripts, so it may only go to
// files in the opener's folder; only the user (typing, back and forward, reload) takes it elsewhere.
class CBrowserPage final : public QWebEnginePage
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CBrowserPage)

public:
    CBrowserPage(QWebEngineProfile* pProfile, CMyWB* pBrowser);
    ~CBrowserPage() override;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool bIsMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& strMessage) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& strMessage) override;
    bool javaScriptPrompt(const QUrl& securityOrigin,
                          const QString& strMessage,
                          const QString& strDefaultValue,
                          QString* pResult) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                  const QString& strMessage,
                                  int nLineNumber,
                                  const QString& strSourceId) override;

private:
    CMyWB* m_pBrowser;
    // The local page that opened this page's window; empty when the user or a remote page opened it.
    QUrl m_urlOpener;
};
