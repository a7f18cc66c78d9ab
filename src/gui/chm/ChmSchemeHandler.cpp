#include "chm/ChmSchemeHandler.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#include "chm/ChmBook.h"
#include "platform/CodePage.h"

void CChmSchemeHandler::RegisterScheme()
{
    QWebEngineUrlScheme scheme(SCHEME);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Not a local scheme: local content may read files, and a book is not the user's disk.
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

CChmSchemeHandler* CChmSchemeHandler::ForProfile(QWebEngineProfile* pProfile)
{
    const auto* pInstalled = pProfile->urlSchemeHandler(SCHEME);
    if (pInstalled) {
        // Only we install a handler for our scheme.
        return const_cast<CChmSchemeHandler*>(static_cast<const CChmSchemeHandler*>(pInstalled));
    }
    auto* pHandler = new CChmSchemeHandler(pProfile);
    pProfile->installUrlSchemeHandler(SCHEME, pHandler);
    return pHandler;
}

CChmSchemeHandler::CChmSchemeHandler(QObject* pParent)
    : QWebEngineUrlSchemeHandler(pParent)
{}

CChmSchemeHandler::~CChmSchemeHandler() = default;

QString CChmSchemeHandler::AddBook(std::shared_ptr<CChmBook> pBook)
{
    const QByteArray digest = QCryptographicHash::hash(pBook->FilePath().toUtf8(), QCryptographicHash::Sha1);
    const QString strHost = QStringLiteral("book-") + QString::fromLatin1(digest.toHex().left(16));
    m_books[strHost] = std::move(pBook);
    return strHost;
}

std::shared_ptr<CChmBook> CChmSchemeHandler::BookAt(const QString& strHost) const
{
    const auto it = m_books.find(strHost.toLower());
    return it == m_books.end() ? nullptr : it->second;
}

QUrl CChmSchemeHandler::UrlOf(const QString& strHost, const QString& strObjectPath)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(SCHEME));
    url.setHost(strHost);
    const qsizetype nHash = strObjectPath.indexOf(QLatin1Char('#'));
    url.setPath(nHash < 0 ? strObjectPath : strObjectPath.left(nHash), QUrl::DecodedMode);
    if (nHash >= 0) {
        url.setFragment(strObjectPath.mid(nHash + 1), QUrl::DecodedMode);
    }
    return url;
}

void CChmSchemeHandler::requestStarted(QWebEngineUrlRequestJob* pJob)
{
    const QUrl url = pJob->requestUrl();
    const QUrl initiator = pJob->initiator();
    // The user and the program open books with no initiator; a page may only ask for its own book.
    if (!initiator.isEmpty() && (initiator.scheme() != url.scheme() || initiator.host() != url.host())) {
        pJob->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    if (pJob->requestMethod() != "GET") {
        pJob->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const std::shared_ptr<CChmBook> pBook = BookAt(url.host());
    if (!pBook) {
        pJob->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    QString strPath = url.path(QUrl::FullyDecoded);
    if (strPath.isEmpty() || strPath == QLatin1String("/")) {
        strPath = pBook->DefaultTopic();
        const qsizetype nHash = strPath.indexOf(QLatin1Char('#'));
        if (nHash >= 0) {
            strPath.truncate(nHash);
        }
    }
    QByteArray data;
    if (!pBook->Read(strPath, data)) {
        pJob->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    QByteArray mimeType = MimeTypeOf(strPath);
    if (mimeType == "text/html") {
        mimeType += CharsetOf(data);
    }
    auto* pBuffer = new QBuffer(pJob);
    pBuffer->setData(data);
    pBuffer->open(QIODevice::ReadOnly);
    pJob->reply(mimeType, pBuffer);
}

QByteArray CChmSchemeHandler::CharsetOf(const QByteArray& page)
{
    // A page that names its own character set is read in it. Pages saved by the engine without a label
    // are UTF-8 or code page 936, and a browser left to guess would take them for Latin-1.
    const QByteArray head = page.left(4096).toLower();
    if (head.contains("charset")) {
        return {};
    }
    const std::string_view bytes(page.constData(), static_cast<size_t>(page.size()));
    return codepage::IsValidUtf8(bytes) ? QByteArrayLiteral(";charset=utf-8") : QByteArrayLiteral(";charset=gb18030");
}

QByteArray CChmSchemeHandler::MimeTypeOf(const QString& strPath)
{
    static const std::pair<const char*, const char*> kTypes[] = {
        {".htm", "text/html"},    {".html", "text/html"},
        {".shtml", "text/html"},  {".xhtml", "application/xhtml+xml"},
        {".css", "text/css"},     {".js", "text/javascript"},
        {".gif", "image/gif"},    {".png", "image/png"},
        {".jpg", "image/jpeg"},   {".jpeg", "image/jpeg"},
        {".bmp", "image/bmp"},    {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"}, {".webp", "image/webp"},
        {".txt", "text/plain"},   {".hhc", "text/html"},
        {".xml", "text/xml"},
    };
    for (const auto& [suffix, type] : kTypes) {
        if (strPath.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) {
            return QByteArray(type);
        }
    }
    return QByteArrayLiteral("application/octet-stream");
}
