#pragma once

#include <map>
#include <memory>

#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

class CChmBook;
class QWebEngineProfile;

// Serves the pages, pictures and style sheets of opened books to the browser under addresses of our
// own: chm://<book>/<path inside the book>. Each book gets a host name of its own, so relative links
// and pictures inside it resolve as on any site, and a page of one book is another origin for the
// pages of every other book. Nothing outside the books is ever served: the handler reads objects of
// the book named by the host and nothing else, and a request made by a page of another origin is
// refused.
class CChmSchemeHandler final : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CChmSchemeHandler)

public:
    static constexpr char SCHEME[] = "chm";

    // Declares the scheme to the web engine; must run before the application object is made.
    static void RegisterScheme();
    // The handler of a profile, installed on first use; it lives as long as the profile.
    static CChmSchemeHandler* ForProfile(QWebEngineProfile* pProfile);

    explicit CChmSchemeHandler(QObject* pParent = nullptr);
    ~CChmSchemeHandler() override;

    // Makes an opened book reachable and returns its host name. A book opened again from the same file
    // replaces the one opened before (it may have been built anew).
    QString AddBook(std::shared_ptr<CChmBook> pBook);
    std::shared_ptr<CChmBook> BookAt(const QString& strHost) const;
    // The address of a path inside the book at strHost ("/a/b.htm#part").
    static QUrl UrlOf(const QString& strHost, const QString& strObjectPath);

    void requestStarted(QWebEngineUrlRequestJob* pJob) override;

    // The MIME type a file name is served with.
    static QByteArray MimeTypeOf(const QString& strPath);
    // ";charset=..." for a page that does not name its character set; empty when it does.
    static QByteArray CharsetOf(const QByteArray& page);

private:
    std::map<QString, std::shared_ptr<CChmBook>> m_books;
};
