#include "favorites/MenuOrder.h"

#include <algorithm>

#include "platform/CodePage.h"

namespace
{
constexpr std::size_t kHeaderSize = 20;
constexpr std::string_view kKeyRoot = "Software/Microsoft/Windows/CurrentVersion/Explorer/MenuOrder/Favorites/";

// Reads fields from [m_nPos, m_nBound) of a buffer, never past the bound. A field that does not fit
// leaves the position where it was.
class CFieldReader
{
public:
    CFieldReader(const std::uint8_t* pData, std::size_t nPos, std::size_t nBound)
        : m_pData(pData)
        , m_nPos(nPos)
        , m_nBound(nBound)
    {}

    template <typename T> T Number()
    {
        if (m_nPos > m_nBound || m_nBound - m_nPos < sizeof(T)) {
            return 0;
        }
        T value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            value = static_cast<T>(value | static_cast<T>(static_cast<T>(m_pData[m_nPos + i]) << (8 * i)));
        }
        m_nPos += sizeof(T);
        return value;
    }

    std::string Name8()
    {
        const std::size_t nEnd = find8();
        if (nEnd == m_nBound || nEnd == m_nPos) {
            return {};
        }
        std::string name(reinterpret_cast<const char*>(m_pData + m_nPos), nEnd - m_nPos);
        m_nPos = nEnd + 1;
        return name;
    }

    std::string Name16()
    {
        std::size_t nEnd = m_nPos;
        while (m_nBound - nEnd >= 2 && (m_pData[nEnd] != 0 || m_pData[nEnd + 1] != 0)) {
            nEnd += 2;
        }
        if (m_nBound - nEnd < 2 || nEnd == m_nPos) {
            return {};
        }
        std::string name =
            codepage::Utf16LeToUtf8(std::string_view(reinterpret_cast<const char*>(m_pData + m_nPos), nEnd - m_nPos));
        // Past the characters, then past every zero byte that follows (the terminator and any padding).
        m_nPos = nEnd;
        while (m_nPos < m_nBound && m_pData[m_nPos] == 0) {
            ++m_nPos;
        }
        return name;
    }

    std::size_t Position() const { return m_nPos; }

private:
    std::size_t find8() const
    {
        for (std::size_t i = m_nPos; i < m_nBound; ++i) {
            if (m_pData[i] == 0) {
                return i;
            }
        }
        return m_nBound;
    }

    const std::uint8_t* m_pData;
    std::size_t m_nPos;
    std::size_t m_nBound;
};

void PutNumber(std::string& out, std::uint32_t value, std::size_t nBytes)
{
    for (std::size_t i = 0; i < nBytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// UTF-8 → UTF-16LE code units; only called on valid UTF-8.
std::string Utf8ToUtf16Le(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::uint32_t code = 0;
        std::size_t n = 1;
        if (c < 0x80) {
            code = c;
        } else if (c < 0xE0) {
            code = c & 0x1F;
            n = 2;
        } else if (c < 0xF0) {
            code = c & 0x0F;
            n = 3;
        } else {
            code = c & 0x07;
            n = 4;
        }
        for (std::size_t k = 1; k < n && i + k < text.size(); ++k) {
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += n;
        if (code >= 0x10000) {
            code -= 0x10000;
            PutNumber(out, 0xD800 + (code >> 10), 2);
            PutNumber(out, 0xDC00 + (code & 0x3FF), 2);
        } else {
            PutNumber(out, code, 2);
        }
    }
    return out;
}
} // namespace

std::string CMenuOrder::KeyPath(std::string_view relPath)
{
    std::string key(kKeyRoot);
    key += relPath;
    return key;
}

int CMenuOrder::ReadOrder(std::string_view bytes)
{
    return ReadOrder(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

int CMenuOrder::ReadOrder(const std::uint8_t* pData, std::size_t nSize)
{
    m_entries.clear();
    m_order.clear();
    m_nHeader1 = 0;
    m_nHeader2 = 0;
    if (pData == nullptr || nSize < kHeaderSize) {
        return 0;
    }
    CFieldReader header(pData, 8, nSize);
    m_nHeader1 = header.Number<std::uint32_t>();
    m_nHeader2 = header.Number<std::uint32_t>();
    std::uint64_t nCount = header.Number<std::uint32_t>();
    // Every real entry starts with a 4-byte size, so a count above what the value can hold only adds
    // empty entries; capping it keeps a damaged count from asking for gigabytes.
    nCount = std::min<std::uint64_t>(nCount, (nSize - kHeaderSize) / 4 + 1);
    if (nCount == 0) {
        return 0;
    }
    m_entries.resize(nCount);
    m_order.assign(nCount, 0);

    std::size_t nStart = kHeaderSize;
    for (std::uint32_t i = 0; i < nCount; ++i) {
        Entry& entry = m_entries[i];
        CFieldReader sizeField(pData, nStart, nSize);
        entry.m_nSize = sizeField.Number<std::uint32_t>();
        // An entry claiming more bytes than the value has ends with the value.
        const std::size_t nEnd = entry.m_nSize > nSize - nStart ? nSize : nStart + entry.m_nSize;
        CFieldReader field(pData, sizeField.Position(), nEnd);
        entry.m_nPosition = field.Number<std::uint32_t>();
        entry.m_nNumber1 = field.Number<std::uint16_t>();
        entry.m_nType = field.Number<std::uint16_t>();
        entry.m_nNumber2 = field.Number<std::uint32_t>();
        entry.m_nNumber3 = field.Number<std::uint16_t>();
        entry.m_nNumber4 = field.Number<std::uint16_t>();
        entry.m_nAttributes = field.Number<std::uint16_t>();
        entry.m_strName = (entry.m_nType & kTypeUtf16Name) != 0 ? field.Name16() : field.Name8();
        entry.m_strName2 = field.Name8();
        if (entry.m_nPosition < nCount) {
            m_order[entry.m_nPosition] = i;
        }
        nStart = nEnd;
    }
    return 1;
}

std::string WriteMenuOrder(const std::vector<MenuOrderItem>& items)
{
    std::string out;
    PutNumber(out, 8, 4);
    PutNumber(out, 2, 4);
    PutNumber(out, 0, 4);
    PutNumber(out, 0, 4);
    PutNumber(out, static_cast<std::uint32_t>(items.size()), 4);
    std::uint32_t nPosition = 0;
    for (const MenuOrderItem& item : items) {
        // A name that does not survive the way through UTF-16 (file names are bytes, not always UTF-8) is
        // kept as its bytes.
        const std::string wide = Utf8ToUtf16Le(item.strName);
        const bool bWide = codepage::IsValidUtf8(item.strName) && codepage::Utf16LeToUtf8(wide) == item.strName;
        std::string entry;
        PutNumber(entry, nPosition++, 4);
        PutNumber(entry, 0, 2);
        PutNumber(entry, bWide ? CMenuOrder::kTypeUtf16Name : 0, 2);
        PutNumber(entry, 0, 4);
        PutNumber(entry, 0, 2);
        PutNumber(entry, 0, 2);
        PutNumber(entry, item.bFolder ? CMenuOrder::kAttrFolder : CMenuOrder::kAttrFile, 2);
        if (bWide) {
            entry += wide;
            entry.append(2, '\0');
        } else {
            entry += item.strName;
            entry += '\0';
        }
        entry += '\0'; // the empty second name
        PutNumber(out, static_cast<std::uint32_t>(entry.size() + 4), 4);
        out += entry;
    }
    return out;
}
