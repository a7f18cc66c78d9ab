#include "complete/ExecutableContent.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "complete/MarkupTags.h"
#include "download/AsciiText.h"
#include "download/PageScanner.h"

namespace markup
{

namespace
{

struct Cut
{
    std::size_t nBegin = 0;
    std::size_t nEnd = 0;
};

// A value as the browser reads an address in it: letter case, tabs and line breaks (which address
// parsing drops anywhere) and the named references a page can spell them with do not count.
std::string Normalised(std::string_view value)
{
    std::string lower = ascii::ToLower(value);
    std::string out;
    out.reserve(lower.size());
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const char c = lower[i];
        if (c == '\t' || c == '\n' || c == '\r' || c == '\0') {
            continue;
        }
        const std::string_view rest = std::string_view(lower).substr(i);
        if (rest.substr(0, 5) == "&tab;") {
            i += 4;
            continue;
        }
        if (rest.substr(0, 9) == "&newline;") {
            i += 8;
            continue;
        }
        if (rest.substr(0, 7) == "&colon;") {
            out += ':';
            i += 6;
            continue;
        }
        out += c;
    }
    return out;
}

bool IsExecutableAttribute(const Tag& tag, const Attr& attr)
{
    if (attr.name.size() >= 2 && attr.name.compare(0, 2, "on") == 0) {
        return true; // an event handler
    }
    if (attr.name == "srcdoc") {
        return true; // a whole document in a frame
    }
    const std::string value = Normalised(attr.value);
    if (value.find("javascript:") != std::string::npos || value.find("vbscript:") != std::string::npos) {
        return true;
    }
    // An SVG animation that would set an event handler.
    if (attr.name == "attributename" && Trim(value).substr(0, 2) == "on") {
        return true;
    }
    // A document in a frame or object runs its own scripts; a picture in <img> never does.
    const bool bFrame = tag.name == "iframe" || tag.name == "frame" || tag.name == "object" || tag.name == "embed";
    if (bFrame && (attr.name == "src" || attr.name == "data")) {
        std::string_view address = value;
        while (!address.empty() && static_cast<unsigned char>(address.front()) <= 0x20) {
            address.remove_prefix(1);
        }
        return address.substr(0, 5) == "data:";
    }
    return false;
}

void CollectCuts(std::string_view t, RawText rawText, std::vector<Cut>& cuts)
{
    std::size_t nClose = 0;
    bool bClosed = true; // nClose is valid, or there is no "</script" at or after it
    ForEachTag(
        t,
        [&](Tag& tag) {
            if (tag.name == "script") {
                // The element goes with its end tag; an unclosed one takes the rest of the page.
                if (bClosed && nClose < tag.nEnd) {
                    const std::ptrdiff_t close = CPageScanner::FindNoCase(t, "</script", tag.nEnd);
                    bClosed = close >= 0;
                    nClose = bClosed ? static_cast<std::size_t>(close) : t.size();
                }
                std::size_t end = t.size();
                if (bClosed) {
                    const std::size_t gt = t.find('>', nClose);
                    end = gt == std::string_view::npos ? t.size() : gt + 1;
                }
                cuts.push_back({tag.nBegin, end});
                return;
            }
            for (const Attr& attr : tag.attrs) {
                if (IsExecutableAttribute(tag, attr)) {
                    cuts.push_back({attr.nLead, attr.nEnd});
                }
            }
        },
        nullptr, rawText);
}

std::vector<Cut> FindCuts(std::string_view page)
{
    std::vector<Cut> cuts;
    CollectCuts(page, RawText::Scripting, cuts);
    CollectCuts(page, RawText::None, cuts);
    return cuts;
}

std::string Apply(std::string_view page, std::vector<Cut> cuts)
{
    std::sort(cuts.begin(), cuts.end(), [](const Cut& a, const Cut& b) { return a.nBegin < b.nBegin; });
    std::string out;
    out.reserve(page.size());
    std::size_t from = 0;
    for (const Cut& cut : cuts) {
        if (cut.nEnd <= from) {
            continue;
        }
        const std::size_t begin = std::max(cut.nBegin, from);
        out.append(page.substr(from, begin - from));
        from = cut.nEnd;
    }
    out.append(page.substr(std::min(from, page.size())));
    return out;
}

} // namespace

std::string StripExecutable(std::string_view page)
{
    // Taking something out can join text into new tags (a script inside a style block, as one reading
    // sees it); each round reads the result again.
    constexpr int kMaxRounds = 16;
    std::string text(page);
    for (int round = 0; round < kMaxRounds; ++round) {
        std::vector<Cut> cuts = FindCuts(text);
        if (cuts.empty()) {
            return text;
        }
        text = Apply(text, std::move(cuts));
    }
    if (FindCuts(text).empty()) {
        return text;
    }
    std::string plain;
    plain.reserve(text.size());
    for (char c : text) {
        if (c == '<') {
            plain += "&lt;";
        } else {
            plain += c;
        }
    }
    return plain;
}

bool HasExecutable(std::string_view page)
{
    return !FindCuts(page).empty();
}

} // namespace markup
