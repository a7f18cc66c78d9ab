// The series expansion on any pair: the first line is the first address, the second the last, the
// third the add count. Checking agrees with expanding, the lists stay aligned, the addresses differ,
// and once a job has made the names fit for files, no two pages share a file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "download/PageNames.h"
#include "download/UrlSequence.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string lines[3];
    for (auto& line : lines) {
        const auto newline = input.find('\n');
        line = std::string(input.substr(0, newline));
        input = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
    }
    const int nAddCount = std::atoi(lines[2].substr(0, 6).c_str());

    CUrlSequence sequence;
    sequence.SetRange(lines[0], lines[1]);
    const int nChecked = sequence.Check();
    std::vector<std::string> urls, names;
    std::string ext;
    const int nResult = sequence.Expand(urls, names, nAddCount, ext);
    if (nChecked != nResult || urls.size() != names.size() || (nResult == 0) == urls.empty()) {
        __builtin_trap();
    }
    if (nResult != 0) {
        return 0;
    }
    if (std::set<std::string>(urls.begin(), urls.end()).size() != urls.size()) {
        __builtin_trap();
    }
    MakePageNamesUnique(names, ext, "");
    std::set<std::string> files;
    for (const auto& name : names) {
        if (name.empty() || name.find('/') != std::string::npos || !files.insert(name + ext).second) {
            __builtin_trap();
        }
    }
    return 0;
}
