#include "browser/LocalFileGuard.h"

#include <QTest>
#include <QUrl>

using RT = QWebEngineUrlRequestInfo::ResourceType;
Q_DECLARE_METATYPE(RT)

class LocalFileGuardTest : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
};

void LocalFileGuardTest::requests_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("page");
    QTest::addColumn<RT>("type");
    QTest::addColumn<bool>("allowed");

    const QString strPage = QStringLiteral("file:///home/u/Trawl/proj/page.htm");
    QTest::newRow("own picture") << "file:///home/u/Trawl/proj/page.files/a.png" << strPage
                                 << QWebEngineUrlRequestInfo::ResourceTypeImage << true;
    QTest::newRow("own frame") << "file:///home/u/Trawl/proj/other.htm" << strPage
                               << QWebEngineUrlRequestInfo::ResourceTypeSubFrame << true;
    QTest::newRow("escaped folder name") << "file:///home/u/Trawl/proj/my%20page.files/a.png" << strPage
                                         << QWebEngineUrlRequestInfo::ResourceTypeImage << true;
    QTest::newRow("folder above") << "file:///home/u/Trawl/secret.png" << strPage
                                  << QWebEngineUrlRequestInfo::ResourceTypeImage << false;
    QTest::newRow("dot-dot out of the folder") << "file:///home/u/Trawl/proj/page.files/../../x/a.png" << strPage
                                               << QWebEngineUrlRequestInfo::ResourceTypeImage << false;
    QTest::newRow("sibling sharing the name's start")
        << "file:///home/u/Trawl/project2/a.png" << strPage << QWebEngineUrlRequestInfo::ResourceTypeImage << false;
    QTest::newRow("script request in own folder")
        << "file:///home/u/Trawl/proj/data.txt" << strPage << QWebEngineUrlRequestInfo::ResourceTypeXhr << false;
    QTest::newRow("frame elsewhere") << "file:///etc/passwd" << strPage
                                     << QWebEngineUrlRequestInfo::ResourceTypeSubFrame << false;
    QTest::newRow("going to another file")
        << "file:///etc/hosts" << strPage << QWebEngineUrlRequestInfo::ResourceTypeMainFrame << true;
    QTest::newRow("remote page asking for a file")
        << "file:///home/u/Trawl/proj/a.png"
        << "http://127.0.0.1/page.html" << QWebEngineUrlRequestInfo::ResourceTypeImage << false;
    QTest::newRow("remote resources are not this guard's")
        << "http://127.0.0.1/a.png" << strPage << QWebEngineUrlRequestInfo::ResourceTypeXhr << true;
}

void LocalFileGuardTest::requests()
{
    QFETCH(QString, request);
    QFETCH(QString, page);
    QFETCH(RT, type);
    QFETCH(bool, allowed);
    QCOMPARE(CLocalFileGuard::IsAllowed(QUrl(request), QUrl(page), type), allowed);
}

QTEST_APPLESS_MAIN(LocalFileGuardTest)
#include "LocalFileGuardTest.moc"
