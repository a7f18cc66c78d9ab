#pragma once

#include <QObject>
#include <QString>

class CChmSchemeHandler;
class QWebEngineDownloadRequest;
class QWebEngineProfile;

// Owns the web engine profile every tab's page is made in, and with it the browser's settings and its
// handling of downloads. Must outlive every page made in it. The profile, and with it the web engine,
// is made when first asked for, so the window can show before the engine has started.
class CBrowserProfile final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CBrowserProfile)

public:
    // An empty storage name gives a profile that keeps nothing on disk (cookies, cache and history live
    // only as long as the program); a name keeps them under the user's data folder.
    explicit CBrowserProfile(const QString& strStorageName = QString(), QObject* pParent = nullptr);
    ~CBrowserProfile() override;

    QWebEngineProfile* profile();
    bool IsStarted() const { return m_pProfile != nullptr; }
    // The compiled help books the profile's pages read; installed with the profile.
    CChmSchemeHandler* Books();

signals:
    // A "save as" of a page ended; bOk tells whether the file was written.
    void pageSaved(const QString& strPath, bool bOk);

private:
    void onDownloadRequested(QWebEngineDownloadRequest* pRequest);

    QString m_strStorageName;
    QWebEngineProfile* m_pProfile = nullptr;
    CChmSchemeHandler* m_pBooks = nullptr;
};
