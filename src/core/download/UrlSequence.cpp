#include "download/UrlSequence.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <utility>

#include "download/AsciiText.h"

namespace
{

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string Trim(const std::string& s)
{
    std::size_t begin = 0, end = s.size();
    while (begin < end && IsSpace(s[begin])) {
        ++begin;
    }
    while (end > begin && IsSpace(s[end - 1])) {
        --end;
    }
    return s.substr(begin, end - begin);
}

// Only web addresses are expanded; a secure one counts like a plain one.
bool IsWebAddress(std::string_view s)
{
    return ascii::StartsWithNoCase(s, "http://") || ascii::StartsWithNoCase(s, "https://");
}

// Where the number of one address of the pair sits: [start, end], empty when end < start.
struct NumberSpan
{
    std::ptrdiff_t start = 0;
    std::ptrdiff_t end = -1;
};

// The pair differs first at i: the number is the run of digits around i. When the character at i is
// not a digit and neither is the one after it, the number is only the digits before i (maybe none).
NumberSpan SpanAroundDifference(const std::string& s, std::ptrdiff_t i)
{
    const auto size = static_cast<std::ptrdiff_t>(s.size());
    NumberSpan span;
    span.start = i;
    while (span.start > 0 && IsDigit(s[span.start - 1])) {
        --span.start;
    }
    span.end = i;
    if (i + 1 < size && !IsDigit(s[i + 1])) {
        span.end = i - 1;
    }
    while (span.end + 1 < size && IsDigit(s[span.end + 1])) {
        ++span.end;
    }
    return span;
}

// One address is a prefix of the other: the number is the run of digits through position last.
NumberSpan SpanThrough(const std::string& s, std::ptrdiff_t last)
{
    const auto size = static_cast<std::ptrdiff_t>(s.size());
    NumberSpan span{last, last};
    while (span.start > 0 && IsDigit(s[span.start - 1])) {
        --span.start;
    }
    while (span.end + 1 < size && IsDigit(s[span.end + 1])) {
        ++span.end;
    }
    return span;
}

// The decimal value of a number's digits (0 for none); false when it does not fit in 18 digits.
bool NumberValue(std::string_view digits, long long& value)
{
    value = 0;
    std::size_t first = digits.find_first_not_of('0');
    if (first == std::string_view::npos) {
        return true;
    }
    if (digits.size() - first > 18) {
        return false;
    }
    for (char c : digits.substr(first)) {
        value = value * 10 + (c - '0');
    }
    return true;
}

std::string NumberText(long long value, std::size_t width)
{
    std::string text = std::to_string(value);
    if (text.size() < width) {
        text.insert(0, width - text.size(), '0');
    }
    return text;
}

} // namespace

void CUrlSequence::SetRange(const std::string& strFirst, const std::string& strLast)
{
    m_strFirst = Trim(strFirst);
    m_strLast = Trim(strLast);
}

int CUrlSequence::Refuse(Refusal why)
{
    m_refusal = why;
    return -1;
}

int CUrlSequence::Expand(std::vector<std::string>& urls,
                         std::vector<std::string>& names,
                         int nAddCount,
                         std::string& strExt)
{
    return expand(&urls, &names, nAddCount, &strExt);
}

int CUrlSequence::Check()
{
    return expand(nullptr, nullptr, 0, nullptr);
}

int CUrlSequence::expand(std::vector<std::string>* pUrls,
                         std::vector<std::string>* pNames,
                         int nAddCount,
                         std::string* pExt)
{
    const std::string& first = m_strFirst;
    const std::string& last = m_strLast;
    m_refusal = Refusal::None;

    if (!IsWebAddress(first) && !IsWebAddress(last)) {
        return Refuse(Refusal::NotRecognised);
    }
    if (first.size() <= 7 && last.size() <= 7) {
        return Refuse(Refusal::NotRecognised);
    }

    auto onePage = [&](const std::string& address) {
        if (pUrls) {
            *pExt = ".htm";
            pUrls->push_back(address);
            pNames->push_back(nAddCount == 0 ? std::string("00") : "00_" + std::to_string(nAddCount));
        }
        return 0;
    };
    if (first == last) {
        return onePage(first);
    }
    if (first.empty() != last.empty()) {
        const std::string& only = first.empty() ? last : first;
        return IsWebAddress(only) ? onePage(only) : Refuse(Refusal::NotRecognised);
    }

    // Find the number: the run of digits where the two addresses first differ.
    const auto n = static_cast<std::ptrdiff_t>(std::min(first.size(), last.size()));
    std::ptrdiff_t i = 0;
    while (i < n && first[i] == last[i]) {
        ++i;
    }
    NumberSpan firstSpan, lastSpan;
    if (i < n) {
        firstSpan = SpanAroundDifference(first, i);
        lastSpan = SpanAroundDifference(last, i);
    } else {
        if (!IsDigit(first[n - 1]) || !IsDigit(last[n - 1])) {
            return Refuse(Refusal::NotRecognised);
        }
        firstSpan = SpanThrough(first, n - 1);
        lastSpan = SpanThrough(last, n - 1);
    }
    auto numberOf = [](const std::string& s, const NumberSpan& span) {
        return std::string_view(s).substr(span.start, span.end < span.start ? 0 : span.end - span.start + 1);
    };
    const std::string_view firstNumber = numberOf(first, firstSpan);
    const std::string_view lastNumber = numberOf(last, lastSpan);
    for (std::string_view number : {firstNumber, lastNumber}) {
        for (char c : number) {
            if (!IsDigit(c)) {
                return Refuse(Refusal::NotRecognised);
            }
        }
    }
    // Equal lengths mean the series is written with leading zeros (001 … 120).
    const std::size_t width = firstNumber.size() == lastNumber.size() ? firstNumber.size() : 0;

    const std::string_view suffix = std::string_view(first).substr(firstSpan.end + 1);
    if (suffix != std::string_view(last).substr(lastSpan.end + 1)) {
        return Refuse(Refusal::NotRecognised);
    }

    std::string ext;
    if (suffix.find('.') != std::string_view::npos) {
        for (char c : suffix) {
            if (c != '_') {
                ext.push_back(c);
            }
        }
    }
    const bool extDefaulted = ext.empty();
    if (extDefaulted) {
        ext = ".htm";
    }

    long long from = 0, to = 0;
    if (!NumberValue(firstNumber, from) || !NumberValue(lastNumber, to)) {
        return Refuse(Refusal::NotRecognised);
    }
    if (from == 0 && to == 0) {
        return Refuse(Refusal::NotRecognised);
    }
    const long long count = (from <= to ? to - from : from - to) + 1;
    if (count > kMaxSeriesLength) {
        return Refuse(Refusal::TooLong);
    }
    // Every address is the first one with its number written in at most this many digits.
    const auto nDigits = static_cast<long long>(
        std::max({std::to_string(from).size(), std::to_string(to).size(), width, firstNumber.size()}));
    const long long nAddressBytes = static_cast<long long>(first.size() - firstNumber.size()) + nDigits;
    if (nAddressBytes > kMaxSeriesBytes / count) {
        return Refuse(Refusal::TooLarge);
    }
    if (!pUrls) {
        return 0;
    }

    std::vector<std::string>& urls = *pUrls;
    std::vector<std::string>& names = *pNames;
    *pExt = ext;
    const long long step = from <= to ? 1 : -1;
    urls.reserve(urls.size() + static_cast<std::size_t>(count));
    names.reserve(names.size() + static_cast<std::size_t>(count));
    for (long long k = from;; k += step) {
        std::string number = NumberText(k, width);
        std::string address = first;
        address.replace(static_cast<std::size_t>(firstSpan.start), firstNumber.size(), number);

        std::string name;
        if (nAddCount != 0) {
            name = number + "_" + std::to_string(nAddCount);
        } else if (extDefaulted) {
            name = number;
        } else {
            std::size_t slash = address.rfind('/');
            if (slash != std::string::npos) {
                std::string_view segment = std::string_view(address).substr(slash + 1);
                std::size_t dot = segment.rfind('.');
                if (dot != std::string_view::npos) {
                    name = segment.substr(0, dot);
                }
            }
            if (name.empty()) {
                name = number;
            }
        }
        urls.push_back(std::move(address));
        names.push_back(std::move(name));
        if (k == to) {
            break;
        }
    }
    return 0;
}
