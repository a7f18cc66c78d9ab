#include "browser/LocalFileGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

CLocalFileGuard::CLocalFileGuard(QObject* pParent)
    : QWebEngineUrlRequestInterceptor(pParent)
{}

CLocalFileGuard::~CLocalFileGuard() = default;

void CLocalFileGuard::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    if (!IsAllowed(info.requestUrl(), info.firstPartyUrl(), info.resourceType())) {
        info.block(true);
    }
}

bool CLocalFileGuard::IsAllowed(const QUrl& url, const QUrl& pageUrl, QWebEngineUrlRequestInfo::ResourceType type)
{
    if (!url.isLocalFile()) {
        return true;
    }
    switch (type) {
    case QWebEngineUrlRequestInfo::ResourceTypeMainFrame:
        return true;
    case QWebEngineUrlRequestInfo::ResourceTypeXhr:
    case QWebEngineUrlRequestInfo::ResourceTypePing:
    case QWebEngineUrlRequestInfo::ResourceTypeCspReport:
    case QWebEngineUrlRequestInfo::ResourceTypePluginResource:
    case QWebEngineUrlRequestInfo::ResourceTypeWebSocket:
    case QWebEngineUrlRequestInfo::ResourceTypeUnknown:
        return false;
    default:
        return pageUrl.isLocalFile() && IsInsideFolderOf(url, pageUrl);
    }
}

bool CLocalFileGuard::IsInsideFolderOf(const QUrl& url, const QUrl& pageUrl)
{
    if (!url.isLocalFile() || !pageUrl.isLocalFile()) {
        return false;
    }
    const QString strFolder = QDir::cleanPath(QFileInfo(pageUrl.toLocalFile()).absolutePath());
    const QString strFile = QDir::cleanPath(url.toLocalFile());
    const QString strPrefix = strFolder.endsWith(QLatin1Char('/')) ? strFolder : strFolder + QLatin1Char('/');
    return strFile.startsWith(strPrefix);
}
