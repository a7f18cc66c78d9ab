#pragma once

#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>

class QUrl;

// Keeps pages shown from disk to their own folder. A saved page loads its pictures, style sheets and
// frames from beside it (the page's folder and below); whatever else on the disk it names is refused,
// and no script reads a local file by request (fetch, XMLHttpRequest). Going to another page from disk
// in the tab itself stays possible: that page then runs as itself.
class CLocalFileGuard final : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CLocalFileGuard)

public:
    explicit CLocalFileGuard(QObject* pParent = nullptr);
    ~CLocalFileGuard() override;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

    // Whether a request for url, made for the page at pageUrl, may go ahead.
    static bool IsAllowed(const QUrl& url, const QUrl& pageUrl, QWebEngineUrlRequestInfo::ResourceType type);
    // Whether the local file url lies in the folder of the local page pageUrl or below it.
    static bool IsInsideFolderOf(const QUrl& url, const QUrl& pageUrl);
};
