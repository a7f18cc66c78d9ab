#include "PageRenderer.h"

#include <QDateTime>
#include <QFile>
#include <QNetworkCookie>
#include <QVariantMap>
#include <QWebEngineCookieStore>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

// Notes when the browser last asked for anything, whoever asked (a picture, a frame, a script's fetch).
class CRequestClock final : public QWebEngineUrlRequestInterceptor
{
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo&) override { m_nLast = QDateTime::currentMSecsSinceEpoch(); }
    qint64 SinceLast() const { return QDateTime::currentMSecsSinceEpoch() - m_nLast.load(); }

private:
    std::atomic<qint64> m_nLast{0};
};

namespace
{

// A page that never asks anybody anything: nobody sits at this browser, and a dialog a page opens
// (alert, confirm, prompt, a file chooser) would wait for an answer for ever.
class CSilentPage final : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
    QStringList chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) override { return {}; }
};

QString scriptText(const QString& strResource)
{
    QFile file(strResource);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

// The page's own state: its requests in flight, how long the network has been quiet, pictures still
// loading, and whether the bottom is in view.
const QString kStateScript =
    QStringLiteral("(function(){const n=window.__trawlixNet;"
                   "const loading=[...document.images].filter(i=>i.src&&!i.complete).length;"
                   "const el=document.scrollingElement||document.documentElement;"
                   "return [n?n.pending:0,n?performance.now()-n.last:1e9,loading,document.readyState==='complete',"
                   "el?(el.scrollTop+window.innerHeight>=el.scrollHeight-2):true];})()");

} // namespace

CPageRenderer::CPageRenderer(QObject* parent)
    : QObject(parent)
    , m_pProfile(new QWebEngineProfile(this)) // off the record: nothing is kept on disk
    , m_pClock(new CRequestClock(this))
{
    m_pProfile->setUrlRequestInterceptor(m_pClock);
    m_pProfile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);

    QWebEngineScript tracker;
    tracker.setName(QStringLiteral("trawlix-tracker"));
    tracker.setSourceCode(scriptText(QStringLiteral(":/render/Tracker.js")));
    tracker.setInjectionPoint(QWebEngineScript::DocumentCreation);
    tracker.setWorldId(QWebEngineScript::MainWorld);
    tracker.setRunsOnSubFrames(true);
    m_pProfile->scripts()->insert(tracker);

    m_pView = new QWebEngineView();
    auto* page = new CSilentPage(m_pProfile, m_pView);
    page->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    page->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, true);
    page->setAudioMuted(true);
    m_pView->setPage(page);
    // Pictures that load when scrolled into view need a viewport of a reader's size.
    m_pView->resize(1280, 1024);
    m_pView->show();
    connect(page, &QWebEnginePage::loadingChanged, this, &CPageRenderer::loadingChanged);

    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &CPageRenderer::poll);
}

CPageRenderer::~CPageRenderer()
{
    // The page belongs to the profile's life: it goes first.
    delete m_pView;
}

void CPageRenderer::AddCookie(const QString& strLine)
{
    QString line = strLine;
    bool bHttpOnly = false;
    if (line.startsWith(QStringLiteral("#HttpOnly_"))) {
        line = line.mid(10);
        bHttpOnly = true;
    } else if (line.startsWith(QLatin1Char('#'))) {
        return;
    }
    const QStringList fields = line.split(QLatin1Char('\t'));
    if (fields.size() < 7) {
        return;
    }
    QNetworkCookie cookie(fields[5].toUtf8(), fields[6].toUtf8());
    QString domain = fields[0];
    const bool bSubdomains = fields[1].compare(QStringLiteral("TRUE"), Qt::CaseInsensitive) == 0;
    if (bSubdomains && !domain.startsWith(QLatin1Char('.'))) {
        domain.prepend(QLatin1Char('.'));
    }
    cookie.setDomain(domain);
    cookie.setPath(fields[2]);
    cookie.setSecure(fields[3].compare(QStringLiteral("TRUE"), Qt::CaseInsensitive) == 0);
    cookie.setHttpOnly(bHttpOnly);
    const qint64 nExpires = fields[4].toLongLong();
    if (nExpires > 0) {
        cookie.setExpirationDate(QDateTime::fromSecsSinceEpoch(nExpires));
    }
    const QString host = domain.startsWith(QLatin1Char('.')) ? domain.mid(1) : domain;
    const QString scheme = cookie.isSecure() ? QStringLiteral("https") : QStringLiteral("http");
    m_pProfile->cookieStore()->setCookie(cookie, QUrl(scheme + QStringLiteral("://") + host + QLatin1Char('/')));
}

void CPageRenderer::SetMaxBytes(qint64 nBytes)
{
    if (nBytes > 0) {
        m_nMaxBytes = nBytes;
    }
}

void CPageRenderer::Render(const QUrl& url, int nTimeoutMs, std::function<void(RenderedPage)> done)
{
    m_result = RenderedPage();
    m_result.strUrl = url.toString();
    m_done = std::move(done);
    m_nTimeoutMs = nTimeoutMs;
    m_nScrollSteps = 0;
    m_bTimedOut = false;
    m_bPollPending = false;
    m_phase = Phase::Loading;
    m_elapsed.start();
    m_pView->page()->load(url);
    m_poll.start();
}

void CPageRenderer::loadingChanged(const QWebEngineLoadingInfo& info)
{
    // The blank page between two pages reports too.
    if (m_phase != Phase::Loading || info.url().scheme() == QStringLiteral("about")) {
        return;
    }
    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
        m_result.strUrl = info.url().toString();
        m_phase = Phase::Settling;
    } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
        m_result.status = RenderedPage::Status::Failed;
        m_result.notes
            << QStringLiteral("page could not be loaded: %1 (%2)").arg(info.errorString()).arg(info.errorCode());
        finish();
    }
}

void CPageRenderer::poll()
{
    if (m_phase == Phase::Idle || m_phase == Phase::Writing || m_bPollPending) {
        return;
    }
    if (m_elapsed.elapsed() >= m_nTimeoutMs) {
        m_bTimedOut = true;
        if (m_phase == Phase::Loading) {
            // Whatever has come so far is written.
            m_pView->page()->triggerAction(QWebEnginePage::Stop);
        }
        write();
        return;
    }
    if (m_phase == Phase::Settling || m_phase == Phase::Scrolling) {
        checkQuiet();
    }
}

void CPageRenderer::checkQuiet()
{
    m_bPollPending = true;
    m_pView->page()->runJavaScript(kStateScript, QWebEngineScript::MainWorld, [this](const QVariant& value) {
        m_bPollPending = false;
        if (m_phase != Phase::Settling && m_phase != Phase::Scrolling) {
            return;
        }
        const QVariantList state = value.toList();
        if (state.size() < 5) {
            return;
        }
        const bool bQuiet = state[0].toInt() <= 0 && state[1].toDouble() >= kQuietMs && state[2].toInt() == 0 &&
                            state[3].toBool() && m_pClock->SinceLast() >= kQuietMs;
        if (!bQuiet) {
            return;
        }
        const bool bAtBottom = state[4].toBool();
        if (bAtBottom || m_nScrollSteps >= kMaxScrollSteps) {
            write();
        } else {
            scrollStep();
        }
    });
}

void CPageRenderer::scrollStep()
{
    m_phase = Phase::Scrolling;
    ++m_nScrollSteps;
    m_pView->page()->runJavaScript(QStringLiteral("window.scrollBy(0, Math.max(200, window.innerHeight * 0.9));"),
                                   QWebEngineScript::ApplicationWorld);
}

void CPageRenderer::write()
{
    m_phase = Phase::Writing;
    // A UTF-8 page has at least as many bytes as its text has UTF-16 units: the script refuses a page
    // over the limit before it is handed across.
    const QString script = QStringLiteral("var trawlixMaxChars = %1;\n").arg(m_nMaxBytes) +
                           scriptText(QStringLiteral(":/render/Serialize.js"));
    m_pView->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [this](const QVariant& value) {
        const QVariantMap map = value.toMap();
        m_result.html = map.value(QStringLiteral("html")).toString().toUtf8();
        for (const QVariant& note : map.value(QStringLiteral("notes")).toList()) {
            m_result.notes << note.toString();
        }
        if (map.value(QStringLiteral("tooLarge")).toBool() || m_result.html.size() > m_nMaxBytes) {
            m_result.html.clear();
            m_result.status = RenderedPage::Status::TooLarge;
        } else if (m_result.html.isEmpty()) {
            m_result.status = RenderedPage::Status::Failed;
            m_result.notes << QStringLiteral("the page could not be written");
        } else {
            m_result.status = m_bTimedOut ? RenderedPage::Status::Unsettled : RenderedPage::Status::Ok;
        }
        finish();
    });
}

void CPageRenderer::finish()
{
    m_poll.stop();
    m_phase = Phase::Idle;
    // The next page starts from an empty one, so nothing of this page keeps running meanwhile.
    m_pView->page()->load(QUrl(QStringLiteral("about:blank")));
    if (auto done = std::move(m_done)) {
        m_done = nullptr;
        done(std::move(m_result));
    }
}
