#pragma once

#include <string>
#include <string_view>
#include <vector>

// The files a favorites folder holds: Internet shortcuts (".url", an INI file whose section
// [InternetShortcut] has the address in URL=) and desktop entries (".desktop", pointing at an address
// with Type=Link and URL=, or at a program with Type=Application and Exec=).
namespace favorites
{
// The address of an Internet shortcut; empty when the file cannot be read or has none. Section and key
// names are matched without regard to case, the value is trimmed and at most 2099 bytes are kept.
std::string ReadInternetShortcut(const std::string& path);
// Writes an Internet shortcut for the address, replacing the file; false with a reason on failure.
bool WriteInternetShortcut(const std::string& path, std::string_view url, std::string* why = nullptr);

struct DesktopEntry
{
    enum class Kind
    {
        None,        // unreadable, or neither an address nor a program
        Link,        // strTarget is an address
        Application, // strTarget is the command line
    };
    Kind kind = Kind::None;
    std::string strTarget;
};
DesktopEntry ReadDesktopEntry(const std::string& path);

// A desktop entry's command line as program and arguments: quoting and escapes undone, the field codes
// (%f, %u, …) dropped and "%%" kept as "%". Empty when the line is malformed (an unclosed quote).
std::vector<std::string> SplitDesktopExec(std::string_view exec);

// Reads the value of key in section of an INI text. Lines are "key=value"; sections "[name]".
// bNoCase: section and key names compared without regard to ASCII case. False when absent.
bool ReadIniValue(
    std::string_view text, std::string_view section, std::string_view key, bool bNoCase, std::string& value);
} // namespace favorites
