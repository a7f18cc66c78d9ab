#include "chm/ChmBook.h"

#include <chm_lib.h>

#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace
{
constexpr int kSystemContentsFile = 0;
constexpr int kSystemDefaultTopic = 2;
constexpr int kSystemTitle = 3;

quint16 ReadU16(const QByteArray& data, qsizetype at)
{
    return static_cast<quint16>(static_cast<unsigned char>(data[at]) | (static_cast<unsigned char>(data[at + 1]) << 8));
}

// A zero-terminated string stored in a record of the system file.
QString RecordText(const QByteArray& record)
{
    const qsizetype nEnd = record.indexOf('\0');
    return CChmSitemap::DecodeText(nEnd < 0 ? record : record.left(nEnd)).trimmed();
}

// The path of a topic without its "#part".
QString WithoutFragment(const QString& strTopic)
{
    const qsizetype nHash = strTopic.indexOf(QLatin1Char('#'));
    return nHash < 0 ? strTopic : strTopic.left(nHash);
}

QString WithLeadingSlash(const QString& strPath)
{
    return strPath.startsWith(QLatin1Char('/')) ? strPath : QLatin1Char('/') + strPath;
}

// Finds the object at strObjectPath ("x.htm" or "/x.htm") in the open book pFile.
bool resolveObject(chmFile* pFile, const QString& strObjectPath, chmUnitInfo& ui)
{
    if (!pFile || strObjectPath.isEmpty()) {
        return false;
    }
    const QByteArray path = WithLeadingSlash(strObjectPath).toUtf8();
    return path.size() <= CHM_MAX_PATHLEN && chm_resolve_object(pFile, path.constData(), &ui) == CHM_RESOLVE_SUCCESS;
}

} // namespace

CChmBook::CChmBook() = default;

CChmBook::~CChmBook()
{
    if (m_pFile) {
        chm_close(m_pFile);
    }
}

bool CChmBook::Open(const QString& strPath, QString* pWhy)
{
    auto fail = [pWhy](const QString& strWhy) {
        if (pWhy) {
            *pWhy = strWhy;
        }
        return false;
    };
    const QFileInfo info(strPath);
    if (!info.exists()) {
        return fail(QStringLiteral("文件不存在。"));
    }
    if (!info.isFile() || !info.isReadable()) {
        return fail(QStringLiteral("这不是一个可以读取的文件。"));
    }
    // Every compiled help file starts with this signature; chmlib is not asked about anything else.
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly) || file.read(4) != QByteArrayLiteral("ITSF")) {
        return fail(QStringLiteral("这不是CHM文件。"));
    }
    file.close();

    m_pFile = chm_open(QFile::encodeName(info.absoluteFilePath()).constData());
    if (!m_pFile) {
        return fail(QStringLiteral("CHM文件已损坏，无法读取。"));
    }
    m_strFilePath = info.absoluteFilePath();
    m_strTitle = info.completeBaseName();
    ReadSystemFile();
    if (m_strContentsFile.isEmpty() || !Contains(m_strContentsFile)) {
        FindContentsFile();
    }
    QByteArray contents;
    if (!m_strContentsFile.isEmpty() && Read(m_strContentsFile, contents)) {
        m_contents = CChmSitemap::Parse(contents);
        ResolveTopics(m_contents);
    }
    if (m_strDefaultTopic.isEmpty() || !Contains(WithoutFragment(m_strDefaultTopic))) {
        m_strDefaultTopic = FirstTopic(m_contents);
    }
    for (const char* name : {"/index.htm", "/index.html", "/default.htm", "/default.html"}) {
        if (m_strDefaultTopic.isEmpty() && Contains(QString::fromLatin1(name))) {
            m_strDefaultTopic = QString::fromLatin1(name);
        }
    }
    if (m_strDefaultTopic.isEmpty()) {
        // Any page at all, the first in the book's own order.
        chm_enumerate(
            m_pFile, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
            [](chmFile*, chmUnitInfo* ui, void* context) -> int {
                const QString strObject = QString::fromUtf8(ui->path);
                if (strObject.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
                    strObject.endsWith(QLatin1String(".html"), Qt::CaseInsensitive)) {
                    *static_cast<QString*>(context) = strObject;
                    return CHM_ENUMERATOR_SUCCESS;
                }
                return CHM_ENUMERATOR_CONTINUE;
            },
            &m_strDefaultTopic);
    }
    if (m_strDefaultTopic.isEmpty()) {
        chm_close(m_pFile);
        m_pFile = nullptr;
        return fail(QStringLiteral("CHM文件中没有可以显示的网页。"));
    }
    return true;
}

bool CChmBook::Contains(const QString& strObjectPath) const
{
    chmUnitInfo ui{};
    return resolveObject(m_pFile, strObjectPath, ui);
}

bool CChmBook::Read(const QString& strObjectPath, QByteArray& data) const
{
    data.clear();
    chmUnitInfo ui{};
    if (!resolveObject(m_pFile, strObjectPath, ui)) {
        return false;
    }
    // The length comes from the book itself: a damaged one may claim anything.
    if (ui.length > static_cast<LONGUINT64>(MAX_OBJECT_SIZE)) {
        return false;
    }
    const auto nLength = static_cast<qsizetype>(ui.length);
    data.resize(nLength);
    if (nLength == 0) {
        return true;
    }
    const LONGINT64 nRead =
        chm_retrieve_object(m_pFile, &ui, reinterpret_cast<unsigned char*>(data.data()), 0, nLength);
    if (nRead != nLength) {
        data.clear();
        return false;
    }
    return true;
}

void CChmBook::ReadSystemFile()
{
    // "#SYSTEM": a version (4 bytes), then records of a 2-byte code, a 2-byte length and that many bytes.
    QByteArray system;
    if (!Read(QStringLiteral("/#SYSTEM"), system) || system.size() < 4) {
        return;
    }
    qsizetype at = 4;
    while (at + 4 <= system.size()) {
        const int nCode = ReadU16(system, at);
        const qsizetype nLength = ReadU16(system, at + 2);
        at += 4;
        if (at + nLength > system.size()) {
            break;
        }
        const QByteArray record = system.mid(at, nLength);
        at += nLength;
        const QString strText = RecordText(record);
        if (strText.isEmpty()) {
            continue;
        }
        switch (nCode) {
        case kSystemContentsFile:
            m_strContentsFile = WithLeadingSlash(strText);
            break;
        case kSystemDefaultTopic:
            m_strDefaultTopic = ResolvePath(QStringLiteral("/"), strText);
            break;
        case kSystemTitle:
            m_strTitle = strText;
            break;
        default:
            break;
        }
    }
}

void CChmBook::FindContentsFile()
{
    m_strContentsFile.clear();
    chm_enumerate(
        m_pFile, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
        [](chmFile*, chmUnitInfo* ui, void* context) -> int {
            const QString strPath = QString::fromUtf8(ui->path);
            if (strPath.endsWith(QLatin1String(".hhc"), Qt::CaseInsensitive)) {
                *static_cast<QString*>(context) = strPath;
                return CHM_ENUMERATOR_SUCCESS;
            }
            return CHM_ENUMERATOR_CONTINUE;
        },
        &m_strContentsFile);
}

void CChmBook::ResolveTopics(std::vector<ChmTopic>& topics) const
{
    for (ChmTopic& topic : topics) {
        if (!topic.strLocal.isEmpty()) {
            topic.strLocal = ResolvePath(m_strContentsFile, topic.strLocal);
        }
        ResolveTopics(topic.children);
    }
}

QString CChmBook::FirstTopic(const std::vector<ChmTopic>& topics) const
{
    for (const ChmTopic& topic : topics) {
        if (topic.strLocal.startsWith(QLatin1Char('/')) && Contains(WithoutFragment(topic.strLocal))) {
            return topic.strLocal;
        }
        const QString strChild = FirstTopic(topic.children);
        if (!strChild.isEmpty()) {
            return strChild;
        }
    }
    return {};
}

QString CChmBook::ResolvePath(const QString& strFromObject, const QString& strLink)
{
    QString strTarget = strLink.trimmed();
    strTarget.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // "other.chm::/page.htm" and "mk:@MSITStore:book.chm::/page.htm" name a page of a book; only pages of
    // this book are shown, so the part after "::" is taken as a path in it.
    const qsizetype nBookSep = strTarget.indexOf(QLatin1String("::"));
    if (nBookSep >= 0) {
        strTarget = strTarget.mid(nBookSep + 2);
    } else if (QUrl(strTarget).scheme().size() > 1) {
        return strTarget;
    }
    QString strFragment;
    const qsizetype nHash = strTarget.indexOf(QLatin1Char('#'));
    if (nHash >= 0) {
        strFragment = strTarget.mid(nHash);
        strTarget.truncate(nHash);
    }
    QStringList parts;
    if (!strTarget.startsWith(QLatin1Char('/'))) {
        parts = strFromObject.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (!parts.isEmpty() && !strFromObject.endsWith(QLatin1Char('/'))) {
            parts.removeLast();
        }
    }
    for (const QString& part : strTarget.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty()) {
                parts.removeLast();
            }
        } else if (part != QLatin1String(".")) {
            parts.append(part);
        }
    }
    return QLatin1Char('/') + parts.join(QLatin1Char('/')) + strFragment;
}
