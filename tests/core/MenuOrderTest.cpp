#include "favorites/MenuOrder.h"

#include <gtest/gtest.h>

#include "OrderRecordBytes.h"

using orderbytes::entry;
using orderbytes::record;

namespace
{
std::vector<std::string> names(const CMenuOrder& order)
{
    std::vector<std::string> out;
    for (const std::uint32_t nIndex : order.Order()) {
        out.push_back(order.Entries()[nIndex].m_strName);
    }
    return out;
}
} // namespace

TEST(MenuOrder, ReadsEightBitAndWideNamesIntoTheirPositions)
{
    CMenuOrder order;
    ASSERT_EQ(order.ReadOrder(record({entry(2, 0x20, "a.url"), entry(0, 0x20, "B.url", true), entry(1, 0x10, "Sub")})),
              1);
    EXPECT_EQ(order.HeaderNumber1(), 1u);
    EXPECT_EQ(order.HeaderNumber2(), 2u);
    ASSERT_EQ(order.Count(), 3u);
    EXPECT_EQ(names(order), (std::vector<std::string>{"B.url", "Sub", "a.url"}));
    EXPECT_EQ(order.Entries()[1].m_nAttributes, 0x20);
    EXPECT_EQ(order.Entries()[2].m_nAttributes, 0x10);
    EXPECT_EQ(order.Entries()[0].m_strName2, "8.3NAME");
    // After a wide name every zero byte is passed, so the second name is found.
    EXPECT_EQ(order.Entries()[1].m_strName2, "8.3NAME");
}

TEST(MenuOrder, WrittenRecordsReadBack)
{
    const std::vector<MenuOrderItem> items = {{"新闻", true},
                                              {"百度一下，你就知道.url", false},
                                              {"emoji 😀.url", false},
                                              {"bad\xff.url", false},
                                              {"overlong \xc1\xa9.url", false}};
    CMenuOrder order;
    ASSERT_EQ(order.ReadOrder(WriteMenuOrder(items)), 1);
    ASSERT_EQ(order.Count(), items.size());
    for (std::size_t k = 0; k < items.size(); ++k) {
        const CMenuOrder::Entry& e = order.Entries()[order.Order()[k]];
        EXPECT_EQ(e.m_strName, items[k].strName);
        EXPECT_EQ(e.m_nAttributes, items[k].bFolder ? 0x10 : 0x20);
    }
    EXPECT_EQ(order.ReadOrder(WriteMenuOrder({})), 0);
}

TEST(MenuOrder, GapsReferToEntryZero)
{
    CMenuOrder order;
    ASSERT_EQ(order.ReadOrder(record({entry(0, 0x20, "a.url"), entry(2, 0x20, "b.url"), entry(7, 0x20, "c.url")})), 1);
    // Position 1 is claimed by no entry; position 7 lies outside the count and is dropped.
    EXPECT_EQ(order.Order(), (std::vector<std::uint32_t>{0, 0, 1}));
}

// Damaged records: every case must stay inside its bytes (the address sanitizer and the fuzz target check
// that too) and come out as the rule says.
TEST(MenuOrder, DamagedRecordsReadNoByteOutsideThemselves)
{
    struct Case
    {
        const char* what;
        std::string bytes;
        int nResult;
        std::uint32_t nCount;
        std::vector<std::string> namesByEntry;
    };
    const std::string good = entry(0, 0x20, "a.url");
    std::string unterminated = entry(0, 0x20, "");
    unterminated.resize(unterminated.size() - 9); // cut after the attribute word
    unterminated += "abc";
    std::string wideOdd = entry(0, 0x20, "", true);
    wideOdd.resize(22);
    wideOdd += std::string("a\0b", 3);
    const Case cases[] = {
        {"empty", "", 0, 0, {}},
        {"shorter than its header", std::string(19, '\x01'), 0, 0, {}},
        {"count 0", record(0, {good}), 0, 0, {}},
        {"count above the entries", record(3, {good}), 1, 3, {"a.url", "", ""}},
        // 36 bytes of entries hold at most 9 size fields (plus one entry at the very end).
        {"huge count", record(0xFFFFFFFFu, {good}), 1, 10, {"a.url", "", "", "", "", "", "", "", "", ""}},
        {"entry larger than the value", record({entry(0, 0x20, "a.url", false, 1000)}), 1, 1, {"a.url"}},
        {"entry of size 0", record(2, {std::string(4, '\0') + good}), 1, 2, {"", ""}},
        {"entry ending inside its name", record({entry(0, 0x20, "abcdef", false, 25)}), 1, 1, {""}},
        {"name without terminator at the value's end", record({unterminated}), 1, 1, {""}},
        {"wide name of odd length", record({wideOdd}), 1, 1, {""}},
        {"size field cut short", record(1, {std::string("\x20\x00", 2)}), 1, 1, {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CMenuOrder order;
        EXPECT_EQ(order.ReadOrder(c.bytes), c.nResult);
        EXPECT_EQ(order.Count(), c.nCount);
        EXPECT_EQ(order.Order().size(), c.nCount);
        std::vector<std::string> got;
        for (const CMenuOrder::Entry& e : order.Entries()) {
            got.push_back(e.m_strName);
        }
        EXPECT_EQ(got, c.namesByEntry);
    }
}

TEST(MenuOrder, KeyPathsFollowTheFolders)
{
    EXPECT_EQ(CMenuOrder::KeyPath(""), "Software/Microsoft/Windows/CurrentVersion/Explorer/MenuOrder/Favorites/");
    EXPECT_EQ(CMenuOrder::KeyPath("新闻/体育/"),
              "Software/Microsoft/Windows/CurrentVersion/Explorer/MenuOrder/Favorites/新闻/体育/");
}
