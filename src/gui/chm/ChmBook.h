#pragma once

#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "chm/ChmSitemap.h"

struct chmFile;

// One compiled help file opened for reading through chmlib. Paths inside the book start with "/" and
// are UTF-8, as the book stores them. A damaged book fails to open or fails to give an object; it is
// never read past its own bytes by us, and no object larger than MAX_OBJECT_SIZE is read at all.
// Used on the user-interface thread only.
class CChmBook final
{
public:
    static constexpr qint64 MAX_OBJECT_SIZE = 256 * 1024 * 1024;

    CChmBook();
    ~CChmBook();
    CChmBook(const CChmBook&) = delete;
    CChmBook& operator=(const CChmBook&) = delete;

    // Opens a book; false with the reason in Chinese when it is no book or cannot be read.
    bool Open(const QString& strPath, QString* pWhy = nullptr);
    bool IsOpen() const { return m_pFile != nullptr; }

    // Reads one object whole; false when the book has none by that path or it cannot be read.
    bool Read(const QString& strObjectPath, QByteArray& data) const;
    bool Contains(const QString& strObjectPath) const;

    const QString& FilePath() const { return m_strFilePath; }
    // The book's title; its file name without ".chm" when it names none.
    const QString& Title() const { return m_strTitle; }
    // The page the book opens at, as a path inside the book (a "#part" may follow).
    const QString& DefaultTopic() const { return m_strDefaultTopic; }
    // The contents file, as a path inside the book; empty when there is none.
    const QString& ContentsFile() const { return m_strContentsFile; }
    // The table of contents; each topic's address is a path inside the book (or an address outside it).
    const std::vector<ChmTopic>& Contents() const { return m_contents; }

    // "sub/x.htm" seen from the object "/a/b.htm" is "/a/sub/x.htm"; ".." never leaves the root. An
    // address with a scheme ("http:") comes back unchanged; "name.chm::/x.htm" gives "/x.htm".
    static QString ResolvePath(const QString& strFromObject, const QString& strLink);

private:
    void ReadSystemFile();
    void FindContentsFile();
    void ResolveTopics(std::vector<ChmTopic>& topics) const;
    QString FirstTopic(const std::vector<ChmTopic>& topics) const;

    chmFile* m_pFile = nullptr;
    QString m_strFilePath;
    QString m_strTitle;
    QString m_strDefaultTopic;
    QString m_strContentsFile;
    std::vector<ChmTopic> m_contents;
};
