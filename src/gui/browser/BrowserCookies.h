#pragma once

#include <string>
#include <vector>

#include <QList>
#include <QNetworkCookie>
#include <QObject>

class CDownloadTask;
class CProjectObject;
class QWebEngineCookieStore;

// A copy of the embedded browser's cookies, kept up to date as pages set and drop them, so that a
// download job can carry those of its hosts: a user who logged in in a tab can then save the pages they
// see. Lives on the UI thread.
class CBrowserCookies final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CBrowserCookies)

public:
    // pStore must outlive this object.
    explicit CBrowserCookies(QWebEngineCookieStore* pStore, QObject* pParent = nullptr);

    // The cookies a browser would send to any of these hosts, as Netscape cookie-file lines.
    std::vector<std::string> LinesFor(const std::vector<std::string>& hosts) const;
    // The hosts of the task's addresses (first, last and top).
    static std::vector<std::string> HostsOf(const CDownloadTask& task);
    // One cookie as a Netscape cookie-file line (HttpOnly ones with their "#HttpOnly_" mark).
    static std::string NetscapeLine(const QNetworkCookie& cookie);

    // Also called by the store's signals.
    void Add(const QNetworkCookie& cookie);
    void Remove(const QNetworkCookie& cookie);

private:
    QList<QNetworkCookie> m_cookies;
};

// Gives a complete job what the desktop program knows beside its task: the browser's cookies for the
// job's hosts (none when pCookies is null), and the pages the project holds, whose links the job brings
// up to date.
void PrepareCompleteTask(CDownloadTask& task, const CBrowserCookies* pCookies, const CProjectObject& project);
