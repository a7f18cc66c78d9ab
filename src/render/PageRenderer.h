#pragma once

#include <atomic>
#include <functional>

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

class QWebEngineProfile;
class QWebEngineView;
class QWebEngineLoadingInfo;
class CRequestClock;

// What one page gave: its document as the browser shows it, and how the rendering went.
struct RenderedPage
{
    enum class Status
    {
        Ok,        // loaded, settled and written
        Unsettled, // the network never went quiet: written as it was at the time limit
        Failed,    // the page could not be loaded
        TooLarge,  // larger than the limit: not written
    };
    Status status = Status::Failed;
    QString strUrl;    // the address the page ended at
    QByteArray html;   // UTF-8
    QStringList notes; // what was left as it is, in English
};

// Loads pages one at a time in an off-screen browser, waits for the network to go quiet, scrolls to
// the bottom in steps (so pictures and lists that load on scrolling come), then writes the document.
// Lives on the UI thread; one page at a time.
class CPageRenderer final : public QObject
{
    Q_OBJECT

public:
    explicit CPageRenderer(QObject* parent = nullptr);
    ~CPageRenderer() override;
    Q_DISABLE_COPY_MOVE(CPageRenderer)

    // One line of a Netscape cookie file; sent with every request to its host.
    void AddCookie(const QString& strLine);
    // A page whose markup would be larger than this is refused.
    void SetMaxBytes(qint64 nBytes);
    // Renders url, giving up waiting after nTimeoutMs; done is called once, on the UI thread.
    void Render(const QUrl& url, int nTimeoutMs, std::function<void(RenderedPage)> done);

private:
    enum class Phase
    {
        Idle,
        Loading,
        Settling,
        Scrolling,
        Writing,
    };

    void loadingChanged(const QWebEngineLoadingInfo& info);
    void poll();
    void checkQuiet();
    void scrollStep();
    void write();
    void finish();

    // The network is quiet once nothing has been asked for this long.
    static constexpr int kQuietMs = 500;
    static constexpr int kPollMs = 100;
    static constexpr int kMaxScrollSteps = 50;

    QWebEngineProfile* m_pProfile = nullptr;
    QWebEngineView* m_pView = nullptr;
    CRequestClock* m_pClock = nullptr;
    QTimer m_poll;
    QElapsedTimer m_elapsed;
    int m_nTimeoutMs = 0;
    qint64 m_nMaxBytes = qint64(64) << 20;
    int m_nScrollSteps = 0;
    bool m_bPollPending = false;
    bool m_bTimedOut = false;
    Phase m_phase = Phase::Idle;
    RenderedPage m_result;
    std::function<void(RenderedPage)> m_done;
};
