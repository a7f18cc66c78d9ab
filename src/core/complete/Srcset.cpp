#include "complete/Srcset.h"

#include <cerrno>
#include <cstdlib>

namespace srcset
{

namespace
{

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsInteger(std::string_view s)
{
    if (s.empty()) {
        return false;
    }
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// A floating-point number as HTML writes one: no sign but "-", digits, an optional fraction and
// exponent; no "+", no leading ".", nothing after.
bool ParseNumber(std::string_view s, double& value)
{
    if (s.empty() || s.front() == '+' || s.front() == '.' || s.size() > 64) {
        return false;
    }
    const std::string text(s);
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno != 0) {
        return false;
    }
    for (char c : s) {
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'e' || c == 'E')) {
            return false; // strtod would read "inf", "nan" and hex numbers
        }
    }
    return true;
}

// The descriptors after one address, up to the comma that ends the candidate; pos is left after it.
std::vector<std::string> ReadDescriptors(std::string_view s, std::size_t& pos)
{
    std::vector<std::string> descriptors;
    std::string current;
    bool bInParens = false;
    for (; pos < s.size(); ++pos) {
        const char c = s[pos];
        if (bInParens) {
            current += c;
            bInParens = c != ')';
            continue;
        }
        if (IsSpace(c)) {
            if (!current.empty()) {
                descriptors.push_back(std::move(current));
                current.clear();
            }
        } else if (c == ',') {
            ++pos;
            break;
        } else {
            current += c;
            bInParens = c == '(';
        }
    }
    if (!current.empty()) {
        descriptors.push_back(std::move(current));
    }
    return descriptors;
}

bool ApplyDescriptors(const std::vector<std::string>& descriptors, Candidate& candidate)
{
    bool bWidth = false, bDensity = false, bHeight = false;
    for (const std::string& d : descriptors) {
        const char unit = d.back();
        const std::string_view number(d.data(), d.size() - 1);
        if (unit == 'w') {
            if (bWidth || bDensity || !IsInteger(number) || number.size() > 9) {
                return false;
            }
            candidate.nWidth = std::strtol(std::string(number).c_str(), nullptr, 10);
            if (candidate.nWidth <= 0) {
                return false;
            }
            bWidth = true;
        } else if (unit == 'x') {
            double value = 0.0;
            if (bWidth || bDensity || bHeight || !ParseNumber(number, value) || value < 0.0) {
                return false;
            }
            candidate.dDensity = value;
            bDensity = true;
        } else if (unit == 'h') {
            if (bHeight || bDensity || !IsInteger(number) || number.size() > 9 || std::atol(d.c_str()) <= 0) {
                return false;
            }
            bHeight = true;
        } else {
            return false;
        }
    }
    return !bHeight || bWidth;
}

} // namespace

std::vector<Candidate> Parse(std::string_view s)
{
    std::vector<Candidate> candidates;
    std::size_t pos = 0;
    for (;;) {
        while (pos < s.size() && (IsSpace(s[pos]) || s[pos] == ',')) {
            ++pos;
        }
        if (pos >= s.size()) {
            return candidates;
        }
        const std::size_t begin = pos;
        while (pos < s.size() && !IsSpace(s[pos])) {
            ++pos;
        }
        std::string_view address = s.substr(begin, pos - begin);
        Candidate candidate;
        if (address.back() == ',') {
            while (!address.empty() && address.back() == ',') {
                address.remove_suffix(1);
            }
            if (address.empty()) {
                continue;
            }
        } else if (!ApplyDescriptors(ReadDescriptors(s, pos), candidate)) {
            continue;
        }
        candidate.strUrl = std::string(address);
        candidates.push_back(std::move(candidate));
    }
}

std::optional<std::string> ChooseLargest(std::string_view s)
{
    const std::vector<Candidate> candidates = Parse(s);
    const Candidate* best = nullptr;
    bool bByWidth = false;
    for (const Candidate& c : candidates) {
        bByWidth = bByWidth || c.nWidth > 0;
    }
    for (const Candidate& c : candidates) {
        if (bByWidth) {
            if (c.nWidth > 0 && (!best || c.nWidth > best->nWidth)) {
                best = &c;
            }
        } else {
            const double density = c.dDensity > 0.0 ? c.dDensity : 1.0;
            if (!best || density > (best->dDensity > 0.0 ? best->dDensity : 1.0)) {
                best = &c;
            }
        }
    }
    if (!best) {
        return std::nullopt;
    }
    return best->strUrl;
}

} // namespace srcset
