// The srcset reader on any attribute value: every candidate's address is a run of the value without
// white space, and the chosen one is among the candidates.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "complete/Srcset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view value(reinterpret_cast<const char*>(data), size);
    const auto candidates = srcset::Parse(value);
    for (const auto& candidate : candidates) {
        if (candidate.strUrl.empty() || value.find(candidate.strUrl) == std::string_view::npos ||
            candidate.strUrl.find_first_of(" \t\n\r\f") != std::string::npos || candidate.nWidth < 0 ||
            candidate.dDensity < 0) {
            __builtin_trap();
        }
    }
    const auto chosen = srcset::ChooseLargest(value);
    bool bFound = false;
    for (const auto& candidate : candidates) {
        bFound = bFound || (chosen && candidate.strUrl == *chosen);
    }
    if (chosen.has_value() != bFound) {
        __builtin_trap();
    }
    return 0;
}
