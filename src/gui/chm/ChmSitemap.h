#pragma once

#include <vector>

#include <QString>

// One entry of a book's table of contents: its name, the address it points at (empty for a heading)
// and the entries under it.
struct ChmTopic
{
    QString strName;
    QString strLocal;
    std::vector<ChmTopic> children;
};

// Reads a contents file (.hhc): nested <UL> lists of <LI><OBJECT type="text/sitemap"> entries, each
// with <param name="Name" value="..."> and <param name="Local" value="...">. The file is loose HTML
// written by many tools; anything that does not fit is skipped, never trusted.
class CChmSitemap final
{
public:
    // Lists deeper than this are read as if they were at this depth.
    static constexpr int MAX_DEPTH = 32;
    // Entries past this many are dropped.
    static constexpr int MAX_TOPICS = 200000;

    // The topics of a contents file. Its bytes are UTF-8 when they are valid UTF-8, else GB18030.
    static std::vector<ChmTopic> Parse(const QByteArray& data);
    // Text of a contents or system file: UTF-8 when valid, else GB18030.
    static QString DecodeText(const QByteArray& data);
    // Replaces character references (&amp; &quot; &#20013; &#x4E2D; ...) in an attribute value.
    static QString DecodeEntities(const QString& strText);
};
