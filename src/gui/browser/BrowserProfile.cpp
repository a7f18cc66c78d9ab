#include "browser/BrowserProfile.h"

#include <QDir>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include "browser/LocalFileGuard.h"
#include "chm/ChmSchemeHandler.h"

CBrowserProfile::CBrowserProfile(const QString& strStorageName, QObject* pParent)
    : QObject(pParent)
    , m_strStorageName(strStorageName)
{}

QWebEngineProfile* CBrowserProfile::profile()
{
    if (m_pProfile) {
        return m_pProfile;
    }
    const QString& strStorageName = m_strStorageName;
    m_pProfile = strStorageName.isEmpty() ? new QWebEngineProfile(this) : new QWebEngineProfile(strStorageName, this);
    if (!strStorageName.isEmpty()) {
        const QString strBase = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        m_pProfile->setPersistentStoragePath(QDir(strBase).filePath(QStringLiteral("browser")));
        m_pProfile->setCachePath(
            QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).filePath(QStringLiteral("browser")));
    }

    QWebEngineSettings* pSettings = m_pProfile->settings();
    // A saved page is shown straight from disk and loads its pictures and frames from its folder; the
    // guard keeps it to that folder and keeps its scripts from reading files. It must not read answers
    // from other sites either.
    pSettings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    pSettings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    pSettings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    pSettings->setAttribute(QWebEngineSettings::ErrorPageEnabled, true);
    pSettings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    // Loading a page must not pull the keyboard focus out of the address box.
    pSettings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);

    m_pProfile->setUrlRequestInterceptor(new CLocalFileGuard(this));
    connect(m_pProfile, &QWebEngineProfile::downloadRequested, this, &CBrowserProfile::onDownloadRequested);
    m_pBooks = CChmSchemeHandler::ForProfile(m_pProfile);
    return m_pProfile;
}

CChmSchemeHandler* CBrowserProfile::Books()
{
    profile();
    return m_pBooks;
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
