#include "browser/BrowserProfile.h"

#include <QDir>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

CBrowserProfile::CBrowserProfile(const QString& strStorageName, QObject* pParent)
    : QObject(pParent)
    , m_pProfile(strStorageName.isEmpty() ? new QWebEngineProfile(this) : new QWebEngineProfile(strStorageName, this))
{
    if (!strStorageName.isEmpty()) {
        const QString strBase = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        m_pProfile->setPersistentStoragePath(QDir(strBase).filePath(QStringLiteral("browser")));
        m_pProfile->setCachePath(
            QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).filePath(QStringLiteral("browser")));
    }

    QWebEngineSettings* pSettings = m_pProfile->settings();
    // A saved page is shown straight from disk. Its own images, style sheets and frames load as usual,
    // but a script in it must not read the user's other files, nor read answers from other sites.
    pSettings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    pSettings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    pSettings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    pSettings->setAttribute(QWebEngineSettings::ErrorPageEnabled, true);
    pSettings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    // Loading a page must not pull the keyboard focus out of the address box.
    pSettings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);

    connect(m_pProfile, &QWebEngineProfile::downloadRequested, this, &CBrowserProfile::onDownloadRequested);
}

CBrowserProfile::~CBrowserProfile() = default;

void CBrowserProfile::onDownloadRequested(QWebEngineDownloadRequest* pRequest)
{
    // Only "save as" of a page writes files; its path and format were chosen before the request came.
    // Other downloads a page starts are declined: the browser has no download dialog.
    if (!pRequest->isSavePageDownload()) {
        return;
    }
    const QString strPath = QDir(pRequest->downloadDirectory()).filePath(pRequest->downloadFileName());
    connect(pRequest, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, pRequest, strPath] {
        if (pRequest->isFinished()) {
            emit pageSaved(strPath, pRequest->state() == QWebEngineDownloadRequest::DownloadCompleted);
        }
    });
    pRequest->accept();
}
