// Case changes and comparisons that touch only the ASCII letters: keys,
// extensions and command words are ASCII, and the bytes of any other
// character (UTF-8, CP932) must pass through unchanged, whatever the locale.
#pragma once
#include <string>
#include <string_view>

namespace qvo::base {

constexpr char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
constexpr char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

inline std::string asciiLower(std::string text)
{
    for (char &c : text)
        c = asciiLower(c);
    return text;
}

inline std::string asciiUpper(std::string text)
{
    for (char &c : text)
        c = asciiUpper(c);
    return text;
}

inline bool asciiEqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

} // namespace qvo::base
