#include "chm/ChmSitemap.h"

#include <QHash>

#include "common/Text.h"
#include "platform/CodePage.h"

namespace
{
// The attributes of one tag, names lower-cased.
QHash<QString, QString> ParseAttributes(QStringView tag)
{
    QHash<QString, QString> attributes;
    qsizetype i = 0;
    const qsizetype n = tag.size();
    // Skip the tag's own name.
    while (i < n && !tag[i].isSpace() && tag[i] != QLatin1Char('/')) {
        ++i;
    }
    while (i < n) {
        while (i < n && (tag[i].isSpace() || tag[i] == QLatin1Char('/'))) {
            ++i;
        }
        const qsizetype nameStart = i;
        while (i < n && !tag[i].isSpace() && tag[i] != QLatin1Char('=') && tag[i] != QLatin1Char('/')) {
            ++i;
        }
        const QString strName = tag.mid(nameStart, i - nameStart).toString().toLower();
        while (i < n && tag[i].isSpace()) {
            ++i;
        }
        QString strValue;
        if (i < n && tag[i] == QLatin1Char('=')) {
            ++i;
            while (i < n && tag[i].isSpace()) {
                ++i;
            }
            if (i < n && (tag[i] == QLatin1Char('"') || tag[i] == QLatin1Char('\''))) {
                const QChar quote = tag[i++];
                const qsizetype valueStart = i;
                while (i < n && tag[i] != quote) {
                    ++i;
                }
                strValue = tag.mid(valueStart, i - valueStart).toString();
                if (i < n) {
                    ++i;
                }
            } else {
                const qsizetype valueStart = i;
                while (i < n && !tag[i].isSpace()) {
                    ++i;
                }
                strValue = tag.mid(valueStart, i - valueStart).toString();
            }
        }
        if (!strName.isEmpty() && !attributes.contains(strName)) {
            attributes.insert(strName, CChmSitemap::DecodeEntities(strValue));
        }
    }
    return attributes;
}

QString TagName(QStringView tag)
{
    qsizetype i = 0;
    while (i < tag.size() && !tag[i].isSpace() && tag[i] != QLatin1Char('>')) {
        ++i;
    }
    return tag.left(i).toString().toLower();
}
} // namespace

QString CChmSitemap::DecodeText(const QByteArray& data)
{
    const std::string_view bytes(data.constData(), static_cast<size_t>(data.size()));
    if (codepage::IsValidUtf8(bytes)) {
        return QString::fromUtf8(data);
    }
    return toQ(codepage::Gb18030ToUtf8(bytes));
}

QString CChmSitemap::DecodeEntities(const QString& strText)
{
    if (!strText.contains(QLatin1Char('&'))) {
        return strText;
    }
    static const QHash<QString, QString> kNamed = {
        {QStringLiteral("amp"), QStringLiteral("&")},  {QStringLiteral("lt"), QStringLiteral("<")},
        {QStringLiteral("gt"), QStringLiteral(">")},   {QStringLiteral("quot"), QStringLiteral("\"")},
        {QStringLiteral("apos"), QStringLiteral("'")}, {QStringLiteral("nbsp"), QString(QChar(0xA0))},
    };
    QString strOut;
    strOut.reserve(strText.size());
    qsizetype i = 0;
    while (i < strText.size()) {
        const qsizetype semi = strText[i] == QLatin1Char('&') ? strText.indexOf(QLatin1Char(';'), i) : -1;
        if (semi < 0 || semi - i > 10) {
            strOut += strText[i++];
            continue;
        }
        const QString strRef = strText.mid(i + 1, semi - i - 1);
        bool bOk = false;
        char32_t code = 0;
        if (strRef.startsWith(QLatin1String("#x")) || strRef.startsWith(QLatin1String("#X"))) {
            code = strRef.mid(2).toUInt(&bOk, 16);
        } else if (strRef.startsWith(QLatin1Char('#'))) {
            code = strRef.mid(1).toUInt(&bOk, 10);
        }
        if (bOk && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
            strOut += QString::fromUcs4(&code, 1);
        } else if (kNamed.contains(strRef.toLower())) {
            strOut += kNamed.value(strRef.toLower());
        } else {
            strOut += strText.mid(i, semi - i + 1);
        }
        i = semi + 1;
    }
    return strOut;
}

std::vector<ChmTopic> CChmSitemap::Parse(const QByteArray& data)
{
    const QString strText = DecodeText(data);
    std::vector<ChmTopic> root;
    // The list each open <UL> adds to; the entry a nested <UL> goes under is the last one of the list
    // above it. Paths hold indices, so the vectors may grow freely.
    std::vector<std::vector<size_t>> levels; // path of indices from root to the list being filled
    std::vector<size_t> current;             // path of the list being filled (empty = root)
    auto listAt = [&root](const std::vector<size_t>& path) -> std::vector<ChmTopic>& {
        std::vector<ChmTopic>* list = &root;
        for (const size_t index : path) {
            list = &(*list)[index].children;
        }
        return *list;
    };
    int nDepth = 0;
    int nCount = 0;
    bool bInTopic = false;
    bool bSitemap = false;
    ChmTopic topic;

    qsizetype i = 0;
    while (i < strText.size()) {
        const qsizetype open = strText.indexOf(QLatin1Char('<'), i);
        if (open < 0) {
            break;
        }
        if (strText.mid(open, 4) == QLatin1String("<!--")) {
            const qsizetype end = strText.indexOf(QLatin1String("-->"), open + 4);
            i = end < 0 ? strText.size() : end + 3;
            continue;
        }
        const qsizetype close = strText.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0) {
            break;
        }
        const QStringView tag = QStringView(strText).mid(open + 1, close - open - 1);
        i = close + 1;
        const QString strName = TagName(tag);
        if (strName == QLatin1String("ul")) {
            ++nDepth;
            if (nDepth > MAX_DEPTH) {
                continue;
            }
            levels.push_back(current);
            std::vector<ChmTopic>& list = listAt(current);
            if (!list.empty()) {
                current.push_back(list.size() - 1);
            }
        } else if (strName == QLatin1String("/ul")) {
            if (nDepth > 0) {
                if (nDepth <= MAX_DEPTH && !levels.empty()) {
                    current = levels.back();
                    levels.pop_back();
                }
                --nDepth;
            }
        } else if (strName == QLatin1String("object")) {
            const QHash<QString, QString> attributes = ParseAttributes(tag);
            bInTopic = true;
            bSitemap =
                attributes.value(QStringLiteral("type")).compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) ==
                0;
            topic = ChmTopic();
        } else if (strName == QLatin1String("param") && bInTopic && bSitemap) {
            const QHash<QString, QString> attributes = ParseAttributes(tag);
            const QString strParam = attributes.value(QStringLiteral("name")).toLower();
            const QString strValue = attributes.value(QStringLiteral("value"));
            // An entry may name several topics; the first name and the first address count.
            if (strParam == QLatin1String("name") && topic.strName.isEmpty()) {
                topic.strName = strValue.trimmed();
            } else if (strParam == QLatin1String("local") && topic.strLocal.isEmpty()) {
                topic.strLocal = strValue.trimmed();
            }
        } else if (strName == QLatin1String("/object")) {
            if (bInTopic && bSitemap && (!topic.strName.isEmpty() || !topic.strLocal.isEmpty()) &&
                nCount < MAX_TOPICS) {
                if (topic.strName.isEmpty()) {
                    topic.strName = topic.strLocal;
                }
                listAt(current).push_back(std::move(topic));
                ++nCount;
            }
            bInTopic = false;
            topic = ChmTopic();
        }
    }
    return root;
}
