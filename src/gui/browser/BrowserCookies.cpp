#include "browser/BrowserCookies.h"

#include <algorithm>

#include <QDateTime>
#include <QUrl>
#include <QWebEngineCookieStore>

#include "common/Text.h"
#include "download/DownloadTask.h"
#include "project/ProjectRecords.h"

namespace
{

// Whether a cookie of this domain goes to host: the same host, or, for a domain cookie, one below it.
bool DomainMatches(const QString& strDomain, const QString& strHost)
{
    QString domain = strDomain.toLower();
    const QString host = strHost.toLower();
    if (domain.startsWith(u'.')) {
        domain.remove(0, 1);
        return host == domain || host.endsWith(u'.' + domain);
    }
    return host == domain;
}

} // namespace

CBrowserCookies::CBrowserCookies(QWebEngineCookieStore* pStore, QObject* pParent)
    : QObject(pParent)
{
    if (!pStore) {
        return;
    }
    connect(pStore, &QWebEngineCookieStore::cookieAdded, this, &CBrowserCookies::Add);
    connect(pStore, &QWebEngineCookieStore::cookieRemoved, this, &CBrowserCookies::Remove);
    // Cookies kept on disk from earlier runs arrive through cookieAdded too.
    pStore->loadAllCookies();
}

void CBrowserCookies::Add(const QNetworkCookie& cookie)
{
    for (QNetworkCookie& known : m_cookies) {
        if (known.hasSameIdentifier(cookie)) {
            known = cookie;
            return;
        }
    }
    m_cookies.append(cookie);
}

void CBrowserCookies::Remove(const QNetworkCookie& cookie)
{
    m_cookies.removeIf([&cookie](const QNetworkCookie& known) { return known.hasSameIdentifier(cookie); });
}

std::string CBrowserCookies::NetscapeLine(const QNetworkCookie& cookie)
{
    const QString domain = cookie.domain();
    const bool bSubdomains = domain.startsWith(u'.');
    const qint64 nExpires = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch();
    std::string line = cookie.isHttpOnly() ? "#HttpOnly_" : "";
    line += fromQ(domain) + "\t" + (bSubdomains ? "TRUE" : "FALSE") + "\t" +
            fromQ(cookie.path().isEmpty() ? QStringLiteral("/") : cookie.path()) + "\t" +
            (cookie.isSecure() ? "TRUE" : "FALSE") + "\t" + std::to_string(nExpires) + "\t" +
            cookie.name().toStdString() + "\t" + cookie.value().toStdString();
    return line;
}

std::vector<std::string> CBrowserCookies::LinesFor(const std::vector<std::string>& hosts) const
{
    std::vector<std::string> lines;
    for (const QNetworkCookie& cookie : m_cookies) {
        // A cookie line is one line of tab-separated fields: a cookie that would break it is left out.
        const std::string line = NetscapeLine(cookie);
        if (line.find_first_of("\r\n") != std::string::npos || cookie.domain().isEmpty()) {
            continue;
        }
        for (const std::string& host : hosts) {
            if (DomainMatches(cookie.domain(), toQ(host))) {
                lines.push_back(line);
                break;
            }
        }
    }
    return lines;
}

std::vector<std::string> CBrowserCookies::HostsOf(const CDownloadTask& task)
{
    std::vector<std::string> hosts;
    for (const std::string* pUrl : {&task.m_strFirstUrl, &task.m_strLastUrl, &task.m_strTopUrl}) {
        QString address = toQ(*pUrl).trimmed();
        if (address.isEmpty()) {
            continue;
        }
        if (!address.contains(QStringLiteral("://"))) {
            address.prepend(QStringLiteral("http://"));
        }
        const std::string host = fromQ(QUrl(address).host());
        if (!host.empty() && std::find(hosts.begin(), hosts.end(), host) == hosts.end()) {
            hosts.push_back(host);
        }
    }
    return hosts;
}

void PrepareCompleteTask(CDownloadTask& task, const CBrowserCookies* pCookies, const CProjectObject& project)
{
    if (pCookies) {
        task.m_cookies = pCookies->LinesFor(CBrowserCookies::HostsOf(task));
    }
    task.m_projectPages.clear();
    for (const CProjectInfor& page : project.m_pages) {
        task.m_projectPages.push_back({page.m_strUrl, page.m_strLocalFile});
    }
}
