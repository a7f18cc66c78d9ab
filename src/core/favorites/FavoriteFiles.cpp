#include "favorites/FavoriteFiles.h"

#include "download/AsciiText.h"
#include "platform/Files.h"

namespace favorites
{
namespace
{
// Shortcut files are a few hundred bytes; anything larger is read only this far.
constexpr std::size_t kMaxShortcutFile = 64 * 1024;
constexpr std::size_t kMaxAddress = 2099;

std::string_view Trim(std::string_view s)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool Same(std::string_view a, std::string_view b, bool bNoCase)
{
    return bNoCase ? ascii::EqualsNoCase(a, b) : a == b;
}

bool ReadShortFile(const std::string& path, std::string& text)
{
    if (!files::IsRegularFile(path) || !files::ReadFile(path, text, nullptr, kMaxShortcutFile)) {
        return false;
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
    return true;
}
} // namespace

bool ReadIniValue(
    std::string_view text, std::string_view section, std::string_view key, bool bNoCase, std::string& value)
{
    bool bInSection = false;
    while (!text.empty()) {
        const std::size_t nBreak = text.find('\n');
        std::string_view line = Trim(text.substr(0, nBreak));
        text.remove_prefix(nBreak == std::string_view::npos ? text.size() : nBreak + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            const std::size_t nClose = line.find(']');
            bInSection = nClose != std::string_view::npos && Same(Trim(line.substr(1, nClose - 1)), section, bNoCase);
            continue;
        }
        const std::size_t nEquals = line.find('=');
        if (!bInSection || nEquals == std::string_view::npos || !Same(Trim(line.substr(0, nEquals)), key, bNoCase)) {
            continue;
        }
        value.assign(Trim(line.substr(nEquals + 1)));
        return true;
    }
    return false;
}

std::string ReadInternetShortcut(const std::string& path)
{
    std::string text;
    std::string url;
    if (!ReadShortFile(path, text) || !ReadIniValue(text, "InternetShortcut", "URL", true, url)) {
        return {};
    }
    // A value in double quotes is read without them, as profile readers do.
    if (url.size() >= 2 && url.front() == '"' && url.back() == '"') {
        url = url.substr(1, url.size() - 2);
    }
    if (url.size() > kMaxAddress) {
        url.resize(kMaxAddress);
    }
    return url;
}

bool WriteInternetShortcut(const std::string& path, std::string_view url, std::string* why)
{
    // A line break inside the address would start a new line of the file.
    std::string clean;
    for (const char c : url) {
        if (c != '\r' && c != '\n') {
            clean += c;
        }
    }
    return files::WriteFile(path, "[InternetShortcut]\r\nURL=" + clean + "\r\n", why);
}

DesktopEntry ReadDesktopEntry(const std::string& path)
{
    DesktopEntry entry;
    std::string text;
    std::string type;
    if (!ReadShortFile(path, text) || !ReadIniValue(text, "Desktop Entry", "Type", false, type)) {
        return entry;
    }
    std::string target;
    if (type == "Link" && ReadIniValue(text, "Desktop Entry", "URL", false, target) && !target.empty()) {
        entry.kind = DesktopEntry::Kind::Link;
    } else if (type == "Application" && ReadIniValue(text, "Desktop Entry", "Exec", false, target) && !target.empty()) {
        entry.kind = DesktopEntry::Kind::Application;
    } else {
        return entry;
    }
    entry.strTarget = target;
    return entry;
}

std::vector<std::string> SplitDesktopExec(std::string_view exec)
{
    std::vector<std::string> args;
    std::string current;
    bool bHaveArg = false;
    bool bQuoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (bQuoted) {
            if (c == '"') {
                bQuoted = false;
            } else if (c == '\\' && i + 1 < exec.size()) {
                current += exec[++i];
            } else {
                current += c;
            }
            continue;
        }
        if (c == '"') {
            bQuoted = true;
            bHaveArg = true;
        } else if (c == ' ' || c == '\t') {
            if (bHaveArg) {
                args.push_back(current);
                current.clear();
                bHaveArg = false;
            }
        } else if (c == '%' && i + 1 < exec.size()) {
            // "%%" is a percent sign; any other field code stands for files or addresses we do not pass.
            if (exec[++i] == '%') {
                current += '%';
                bHaveArg = true;
            }
        } else {
            current += c;
            bHaveArg = true;
        }
    }
    if (bQuoted) {
        return {};
    }
    if (bHaveArg) {
        args.push_back(current);
    }
    return args;
}
} // namespace favorites
