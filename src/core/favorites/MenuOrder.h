#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The recorded order of one favorites folder: an "Order" value of the settings store, kept as the raw
// bytes the desktop's favorites menu writes. All numbers are little-endian.
//
//   0   8  header (skipped)         16  4  entry count
//   8   4  first header number      20  …  the entries, each starting where the previous one ends
//   12  4  second header number
//
// An entry: size (4), position in the menu (4), a number (2), the type word (2; bit 0x04 of its low byte
// marks a UTF-16 name), a number (4), two numbers (2 + 2), the attribute word (2; 0x20 a file, 0x10 or
// 0x14 a folder, 0 either), the zero-terminated name, a second zero-terminated 8-bit name, padding.
//
// The value comes from a file anyone can edit, so no field is read past its entry's end or the value's
// end: a number that does not fit reads as 0, a name that does not fit (or is empty) reads as none.
class CMenuOrder
{
public:
    static constexpr std::uint16_t kAttrFile = 0x20;
    static constexpr std::uint16_t kAttrFolder = 0x10;
    static constexpr std::uint16_t kAttrFolderAlt = 0x14;
    static constexpr std::uint16_t kTypeUtf16Name = 0x04;

    struct Entry
    {
        std::uint32_t m_nSize = 0;
        std::uint32_t m_nPosition = 0;
        std::uint16_t m_nNumber1 = 0;
        std::uint16_t m_nType = 0;
        std::uint32_t m_nNumber2 = 0;
        std::uint16_t m_nNumber3 = 0;
        std::uint16_t m_nNumber4 = 0;
        std::uint16_t m_nAttributes = 0;
        std::string m_strName;  // UTF-8; empty when none was read
        std::string m_strName2; // not used
    };

    // The key of a folder's record: relPath is the folder's path below the favorites folder with a
    // trailing "/" ("" for the favorites folder itself, "新闻/" for a sub-folder).
    static std::string KeyPath(std::string_view relPath);

    // Reads a record; 1 when at least one entry was read, else 0 (nothing, or a value too short for
    // its header).
    int ReadOrder(const std::uint8_t* pData, std::size_t nSize);
    int ReadOrder(std::string_view bytes);

    std::uint32_t Count() const { return static_cast<std::uint32_t>(m_entries.size()); }
    const std::vector<Entry>& Entries() const { return m_entries; }
    // Entry index by menu position; a position that no entry claims refers to entry 0.
    const std::vector<std::uint32_t>& Order() const { return m_order; }
    std::uint32_t HeaderNumber1() const { return m_nHeader1; }
    std::uint32_t HeaderNumber2() const { return m_nHeader2; }

private:
    std::uint32_t m_nHeader1 = 0;
    std::uint32_t m_nHeader2 = 0;
    std::vector<Entry> m_entries;
    std::vector<std::uint32_t> m_order;
};

// One item of a folder's order, as the organize dialog writes it.
struct MenuOrderItem
{
    std::string strName; // the file or folder name as on disk (UTF-8)
    bool bFolder = false;
};

// A record listing items at positions 0, 1, 2 … in the given order; names are written as UTF-16.
std::string WriteMenuOrder(const std::vector<MenuOrderItem>& items);
