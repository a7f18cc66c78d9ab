#include "browser/MyWB.h"

#include <QAction>
#include <QPointer>
#include <QUrl>
#include <QWebEngineScript>

#include "browser/BrowserPage.h"

CMyWB::CMyWB(QWebEngineProfile* pProfile, NewWindowFactory newWindow, QWidget* pParent)
    : QWebEngineView(pParent)
    , m_newWindow(std::move(newWindow))
{
    setObjectName(QStringLiteral("browser"));
    setPage(new CBrowserPage(pProfile, this));

    QWebEnginePage* pPage = page();
    connect(pPage, &QWebEnginePage::titleChanged, this, &CMyWB::onTitleChanged);
    // The engine may report a title while the new document is still empty and then, when the real one
    // equals the title it had already shown (going back, for one), not report it again: so the
    // document is asked once more when it has loaded.
    connect(pPage, &QWebEnginePage::loadFinished, this, &CMyWB::onTitleChanged);
    connect(pPage, &QWebEnginePage::loadStarted, this, [this] { OnProgressChange(0, 100); });
    connect(pPage, &QWebEnginePage::loadProgress, this, [this](int nPercent) { OnProgressChange(nPercent, 100); });
    connect(pPage, &QWebEnginePage::linkHovered, this, [this](const QString& strUrl) {
        if (!m_bDetached) {
            emit statusTextReported(strUrl);
        }
    });
    // The back and forward actions change their enabled state exactly when the history allows it.
    QAction* pBack = pPage->action(QWebEnginePage::Back);
    QAction* pForward = pPage->action(QWebEnginePage::Forward);
    connect(pBack, &QAction::changed, this, [this, pBack] { m_bCanGoBack = pBack->isEnabled(); });
    connect(pForward, &QAction::changed, this, [this, pForward] { m_bCanGoForward = pForward->isEnabled(); });
}

CMyWB::~CMyWB()
{
    m_bDying = true;
    disconnect(page(), nullptr, this, nullptr);
    UnloadPage();
}

int CMyWB::ComputeProgress(int nProgress, int nMax)
{
    if (nMax <= 0 || nProgress < 0 || nMax / 100 <= 0) {
        return NO_PROGRESS;
    }
    const int nPercent = nProgress / (nMax / 100);
    return nPercent > 100 ? 100 : nPercent;
}

QString CMyWB::ShortenTitle(const QString& strText, int nLimit)
{
    const QString strCut = strText.left(79);
    if (strCut.size() < nLimit) {
        return strCut;
    }
    return strCut.left(nLimit - 3) + QStringLiteral("...");
}

QUrl CMyWB::AddressToUrl(const QString& strAddress)
{
    const QString strTrimmed = strAddress.trimmed();
    if (strTrimmed.startsWith(QStringLiteral("about:"), Qt::CaseInsensitive)) {
        return QUrl(strTrimmed.toLower());
    }
    // A local path (of any length, with spaces or Chinese names) becomes a file address; a bare host
    // name gets "http://", as the address box of any browser does.
    return QUrl::fromUserInput(strTrimmed, QString(), QUrl::AssumeLocalFile);
}

void CMyWB::Navigate(const QString& strAddress)
{
    load(AddressToUrl(strAddress));
}

QString CMyWB::LocationAddress() const
{
    const QUrl url = this->url();
    if (url.isEmpty()) {
        return {};
    }
    if (url.isLocalFile()) {
        return url.toLocalFile();
    }
    return url.toString();
}

void CMyWB::NotifyAddress(int nFlag)
{
    if (m_bDetached) {
        return;
    }
    emit addressReported(nFlag == -1 ? QString() : LocationAddress());
}

void CMyWB::PushProgress()
{
    if (!m_bDetached) {
        emit progressReported(m_nProgress);
    }
}

void CMyWB::OnProgressChange(int nProgress, int nMax)
{
    m_nProgress = ComputeProgress(nProgress, nMax);
    if (m_bDetached) {
        return;
    }
    const QString strLocation = LocationAddress();
    if (!strLocation.isEmpty()) {
        emit loadProgressed(m_nProgress, strLocation);
    }
}

void CMyWB::UnloadPage()
{
    stop();
}

CMyWB* CMyWB::OpenNewWindow()
{
    return m_newWindow ? m_newWindow() : nullptr;
}

void CMyWB::onTitleChanged()
{
    // The engine puts the address in place of a missing title, so ask the document itself. The
    // question runs in a world of its own, out of reach of the page's scripts.
    QPointer<CMyWB> pSelf(this);
    page()->runJavaScript(QStringLiteral("document.title"), QWebEngineScript::ApplicationWorld,
                          [pSelf](const QVariant& result) {
                              if (pSelf && !pSelf->m_bDying) {
                                  pSelf->UpdateTabTitle(result.toString());
                                  pSelf->NotifyAddress(0);
                              }
                          });
}

void CMyWB::UpdateTabTitle(const QString& strDocumentTitle)
{
    QString strTitle = strDocumentTitle.simplified();
    if (strTitle.isEmpty()) {
        strTitle = QStringLiteral("blank");
    }
    strTitle = ShortenTitle(strTitle, TITLE_LIMIT);
    m_strShortTitle = strTitle;
    if (!m_bDetached) {
        emit tabTitleChanged(strTitle);
    }
}
