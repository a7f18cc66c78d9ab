#include "chm/ChmSitemap.h"

#include <QTest>

#include "chm/ChmBook.h"
#include "common/Text.h"
#include "platform/CodePage.h"

// The contents file of a book, as different tools write it, and links inside a book.
class ChmSitemapTest : public QObject
{
    Q_OBJECT

private slots:
    void readsNestedContents();
    void readsWhatOtherToolsWrite_data();
    void readsWhatOtherToolsWrite();
    void survivesBrokenAndHostileContents();
    void resolvesLinksInsideTheBook_data();
    void resolvesLinksInsideTheBook();
};

namespace
{
// "name|local" for every topic, depth-first, indented by two spaces per level.
QStringList Flatten(const std::vector<ChmTopic>& topics, int nDepth = 0)
{
    QStringList lines;
    for (const ChmTopic& topic : topics) {
        lines.append(QString(nDepth * 2, QLatin1Char(' ')) + topic.strName + QLatin1Char('|') + topic.strLocal);
        lines += Flatten(topic.children, nDepth + 1);
    }
    return lines;
}

QByteArray Entry(const char* name, const char* local)
{
    return QByteArray("<LI> <OBJECT type=\"text/sitemap\">\r\n<param name=\"Name\" value=\"") + name +
           "\">\r\n<param name=\"Local\" value=\"" + local + "\">\r\n</OBJECT>\r\n";
}
} // namespace

void ChmSitemapTest::readsNestedContents()
{
    // The shape our own books have: one book holding the pages, after the site properties.
    const QByteArray data =
        "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\r\n<HTML><HEAD></HEAD><BODY>\r\n"
        "<OBJECT type=\"text/site properties\">\r\n\t<param name=\"ImageType\" value=\"Folder\">\r\n"
        "</OBJECT>\r\n<UL>\r\n\t<LI> <OBJECT type=\"text/sitemap\">\r\n"
        "\t\t<param name=\"Name\" value=\"我的书\">\r\n\t\t<param name=\"ImageNumber\" value=\"1\">\r\n"
        "\t\t</OBJECT>\r\n\t<UL>\r\n" +
        Entry("第一页", "a.htm") + Entry("Two", "b.htm") + "\t</UL>\r\n" + Entry("After", "c.htm#part") +
        "</UL>\r\n</BODY></HTML>";
    QCOMPARE(Flatten(CChmSitemap::Parse(data)),
             (QStringList{QStringLiteral("我的书|"), QStringLiteral("  第一页|a.htm"), QStringLiteral("  Two|b.htm"),
                          QStringLiteral("After|c.htm#part")}));
}

void ChmSitemapTest::readsWhatOtherToolsWrite_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("topics");

    QTest::newRow("lower case, single quotes, unquoted values")
        << QByteArray("<ul><li><object type='text/sitemap'><param name='name' value='A b'>"
                      "<param name=local value=x/a.htm></object></ul>")
        << QStringList{QStringLiteral("A b|x/a.htm")};
    QTest::newRow("character references in names")
        << QByteArray("<UL>" + Entry("Tom &amp; &quot;Jerry&quot; &#20013;&#x6587; &bogus;", "t.htm") + "</UL>")
        << QStringList{QStringLiteral("Tom & \"Jerry\" 中文 &bogus;|t.htm")};
    QTest::newRow("GB18030 bytes") << QByteArray("<UL>" + Entry(codepage::Utf8ToGb18030("章节一").c_str(), "1.htm") +
                                                 "</UL>")
                                   << QStringList{QStringLiteral("章节一|1.htm")};
    QTest::newRow("entry without a name shows its address")
        << QByteArray("<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Local\" value=\"n.htm\"></OBJECT></UL>")
        << QStringList{QStringLiteral("n.htm|n.htm")};
    QTest::newRow("several names and addresses: the first of each")
        << QByteArray("<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"One\">"
                      "<param name=\"Name\" value=\"Two\"><param name=\"Local\" value=\"1.htm\">"
                      "<param name=\"Local\" value=\"2.htm\"></OBJECT></UL>")
        << QStringList{QStringLiteral("One|1.htm")};
    QTest::newRow("comments and other objects are skipped")
        << QByteArray("<!-- <UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"no\"></OBJECT> -->"
                      "<OBJECT type=\"text/html\"><param name=\"Name\" value=\"no\"></OBJECT>" +
                      Entry("yes", "y.htm"))
        << QStringList{QStringLiteral("yes|y.htm")};
    QTest::newRow("a list opened before any entry stays at the top")
        << QByteArray("<UL><UL>" + Entry("deep", "d.htm") + "</UL></UL>") << QStringList{QStringLiteral("deep|d.htm")};
}

void ChmSitemapTest::readsWhatOtherToolsWrite()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, topics);
    QCOMPARE(Flatten(CChmSitemap::Parse(data)), topics);
}

void ChmSitemapTest::survivesBrokenAndHostileContents()
{
    // Cut anywhere, a contents file gives at most the entries it finished.
    const QByteArray whole = "<UL>" + Entry("A", "a.htm") + "<UL>" + Entry("B", "b.htm") + "</UL></UL>";
    for (qsizetype n = 0; n <= whole.size(); ++n) {
        const QStringList topics = Flatten(CChmSitemap::Parse(whole.left(n)));
        QVERIFY(topics.size() <= 2);
    }
    // More closing than opening lists, and lists nested far deeper than any book.
    QCOMPARE(Flatten(CChmSitemap::Parse("</UL></UL>" + Entry("A", "a.htm") + "</UL>")),
             QStringList{QStringLiteral("A|a.htm")});
    QByteArray deep;
    for (int i = 0; i < 5000; ++i) {
        deep += "<UL>" + Entry("x", "x.htm");
    }
    const std::vector<ChmTopic> topics = CChmSitemap::Parse(deep);
    int nDepth = 0;
    for (const std::vector<ChmTopic>* level = &topics; !level->empty(); level = &level->back().children) {
        ++nDepth;
    }
    QVERIFY(nDepth <= CChmSitemap::MAX_DEPTH + 1);
    QCOMPARE(Flatten(topics).size(), 5000);
    // Bytes that are no text at all.
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((i * 7919) & 0xFF);
    }
    QVERIFY(CChmSitemap::Parse(noise).size() < 10);
}

void ChmSitemapTest::resolvesLinksInsideTheBook_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("resolved");
    QTest::newRow("beside") << "/a/b.htm"
                            << "c.htm"
                            << "/a/c.htm";
    QTest::newRow("sub-folder") << "/a/b.htm"
                                << "sub/第一章.htm"
                                << "/a/sub/第一章.htm";
    QTest::newRow("up") << "/a/b/c.htm"
                        << "../d.htm#x"
                        << "/a/d.htm#x";
    QTest::newRow("never above the root") << "/a.htm"
                                          << "../../../etc/passwd"
                                          << "/etc/passwd";
    QTest::newRow("from the root") << "/toc.hhc"
                                   << "./p.htm"
                                   << "/p.htm";
    QTest::newRow("absolute") << "/a/b.htm"
                              << "/z.htm"
                              << "/z.htm";
    QTest::newRow("backslashes") << "/a/b.htm"
                                 << "sub\\x.htm"
                                 << "/a/sub/x.htm";
    QTest::newRow("another book's page is read in this one") << "/a.htm"
                                                             << "other.chm::/p/q.htm"
                                                             << "/p/q.htm";
    QTest::newRow("old book address") << "/a.htm"
                                      << "mk:@MSITStore:x.chm::/q.htm"
                                      << "/q.htm";
    QTest::newRow("web address") << "/a.htm"
                                 << "http://example.com/"
                                 << "http://example.com/";
}

void ChmSitemapTest::resolvesLinksInsideTheBook()
{
    QFETCH(QString, from);
    QFETCH(QString, link);
    QFETCH(QString, resolved);
    QCOMPARE(CChmBook::ResolvePath(from, link), resolved);
}

QTEST_MAIN(ChmSitemapTest)
#include "ChmSitemapTest.moc"
