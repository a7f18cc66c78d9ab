// The favorites order-record reader on any bytes, read from a buffer of exactly their size so that a
// read past the end is caught; then the menu order over what it read, and a write-read round trip.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "favorites/FavoritesFolder.h"
#include "favorites/MenuOrder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[size == 0 ? 1 : size]);
    std::copy(data, data + size, exact.get());
    CMenuOrder order;
    const int nResult = order.ReadOrder(exact.get(), size);
    if ((nResult == 1) != (order.Count() > 0) || order.Order().size() != order.Count() ||
        order.Count() > size / 4 + 1) {
        __builtin_trap();
    }
    for (const std::uint32_t nIndex : order.Order()) {
        if (nIndex >= order.Count()) {
            __builtin_trap();
        }
    }

    // Every recorded name listed as a file and as a folder: each listed item is placed exactly once.
    favorites::FolderListing listing;
    std::vector<MenuOrderItem> named;
    for (const CMenuOrder::Entry& entry : order.Entries()) {
        if (!entry.m_strName.empty()) {
            listing.files.push_back({entry.m_strName, static_cast<int>(listing.files.size())});
            listing.folders.push_back(entry.m_strName);
            named.push_back({entry.m_strName, (entry.m_nAttributes & 0x10) != 0});
        }
    }
    const std::vector<favorites::MenuEntry> menu = favorites::OrderFavorites(listing, nResult ? &order : nullptr);
    if (menu.size() != listing.files.size() + listing.folders.size()) {
        __builtin_trap();
    }
    std::set<int> numbers;
    for (const favorites::MenuEntry& entry : menu) {
        if (!entry.bFolder && !numbers.insert(entry.nNumber).second) {
            __builtin_trap();
        }
    }

    CMenuOrder again;
    if (again.ReadOrder(WriteMenuOrder(named)) != (named.empty() ? 0 : 1) || again.Count() != named.size()) {
        __builtin_trap();
    }
    for (std::size_t k = 0; k < named.size(); ++k) {
        const CMenuOrder::Entry& entry = again.Entries()[again.Order()[k]];
        if (entry.m_strName != named[k].strName) {
            __builtin_trap();
        }
    }
    return 0;
}
