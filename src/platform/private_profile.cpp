#include "platform/private_profile.h"

#include "base/ascii.h"
#include "platform/file_contents.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace qvo::platform {
namespace {

struct Line {
    std::string_view body;   // without the line ending
    std::string_view ending; // "\n", "\r\n" or "" on a last line without one
};

std::vector<Line> splitLines(std::string_view text)
{
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            lines.push_back({text.substr(pos), {}});
            break;
        }
        size_t bodyEnd = (nl > pos && text[nl - 1] == '\r') ? nl - 1 : nl;
        lines.push_back({text.substr(pos, bodyEnd - pos), text.substr(bodyEnd, nl + 1 - bodyEnd)});
        pos = nl + 1;
    }
    // A byte order mark belongs to no name.
    if (!lines.empty() && lines[0].body.starts_with("\xEF\xBB\xBF"))
        lines[0].body.remove_prefix(3);
    return lines;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool isComment(std::string_view trimmed)
{
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

std::optional<std::string_view> sectionNameOf(const Line &line)
{
    std::string_view t = trim(line.body);
    if (!t.starts_with('['))
        return std::nullopt;
    size_t close = t.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(t.substr(1, close - 1));
}

// Key of a "key=value" line; nullopt for comments, headers and other lines.
std::optional<std::string_view> keyOf(const Line &line)
{
    std::string_view t = trim(line.body);
    if (t.empty() || isComment(t) || t.front() == '[')
        return std::nullopt;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return trim(t.substr(0, eq));
}

std::string_view valueOf(const Line &line)
{
    std::string_view v = trim(line.body.substr(line.body.find('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.front() == v.back())
        v = v.substr(1, v.size() - 2);
    return v;
}

std::string encodeValue(std::string_view value)
{
    bool quote = !value.empty() &&
                 (isBlank(value.front()) || isBlank(value.back()) ||
                  (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                   value.front() == value.back()));
    if (!quote)
        return std::string(value);
    return "\"" + std::string(value) + "\"";
}

struct Location {
    std::optional<size_t> section;  // index of the "[section]" line
    std::optional<size_t> key;      // index of the key's line
    size_t lastNonBlank = 0;        // last non-blank line of the section
};

Location locate(const std::vector<Line> &lines, std::string_view section, std::string_view key)
{
    Location loc;
    for (size_t i = 0; i < lines.size(); ++i) {
        auto name = sectionNameOf(lines[i]);
        if (!loc.section) {
            if (name && base::asciiEqualsIgnoringCase(*name, section)) {
                loc.section = i;
                loc.lastNonBlank = i;
            }
            continue;
        }
        if (name)
            break; // the next section begins
        if (!trim(lines[i].body).empty())
            loc.lastNonBlank = i;
        auto k = keyOf(lines[i]);
        if (k && base::asciiEqualsIgnoringCase(*k, key)) {
            loc.key = i;
            break;
        }
    }
    return loc;
}

bool hasLineBreakOrNul(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool acceptableNames(std::string_view section, std::string_view key, std::string_view value)
{
    if (hasLineBreakOrNul(section) || hasLineBreakOrNul(key) || hasLineBreakOrNul(value))
        return false;
    if (section.find(']') != std::string_view::npos)
        return false;
    std::string_view k = trim(key);
    return !k.empty() && k == key && key.find('=') == std::string_view::npos && !isComment(k) &&
           k.front() != '[';
}

} // namespace

std::string getPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const std::string &fileName)
{
    auto content = readFileContents(fileName);
    if (!content)
        return std::string(defaultValue);
    auto lines = splitLines(*content);
    Location loc = locate(lines, trim(section), trim(key));
    if (!loc.key)
        return std::string(defaultValue);
    return std::string(valueOf(lines[*loc.key]));
}

bool writePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string &fileName)
{
    if (!acceptableNames(section, key, value))
        return false;
    std::string old;
    if (auto content = readFileContents(fileName)) {
        old = std::move(*content);
    } else {
        std::error_code ec;
        // Present but unreadable: its lines could not be kept.
        if (std::filesystem::exists(std::filesystem::symlink_status(fileName, ec)))
            return false;
    }

    auto lines = splitLines(old);
    std::string eol = "\n";
    if (!lines.empty() && !lines[0].ending.empty())
        eol = std::string(lines[0].ending);
    std::string newLine = std::string(key) + "=" + encodeValue(value);

    Location loc = locate(lines, trim(section), key);
    std::string out;
    out.reserve(old.size() + newLine.size() + section.size() + 8);
    if (!loc.section) {
        out = old;
        if (!out.empty() && out.back() != '\n')
            out += eol;
        out += "[" + std::string(section) + "]" + eol + newLine + eol;
    } else {
        // Rebuild from the original text so that every other byte, the byte
        // order mark included, is copied unchanged.
        auto offsetOf = [&](std::string_view part) { return size_t(part.data() - old.data()); };
        if (loc.key) {
            const Line &line = lines[*loc.key];
            std::string_view body = line.body;
            size_t keyStart = offsetOf(body) + body.find_first_not_of(" \t");
            std::string_view keyText = keyOf(line).value();
            std::string replacement = std::string(keyText) + "=" + encodeValue(value);
            std::string_view oldText(old.data() + keyStart, offsetOf(body) + body.size() - keyStart);
            if (oldText == replacement)
                return true; // already stored; no need to touch the file
            out.append(old, 0, keyStart);
            out += replacement;
            out.append(old, offsetOf(body) + body.size());
        } else {
            const Line &after = lines[loc.lastNonBlank];
            size_t insertAt = offsetOf(after.body) + after.body.size() + after.ending.size();
            out.append(old, 0, insertAt);
            if (after.ending.empty())
                out += eol;
            out += newLine + eol;
            out.append(old, insertAt);
        }
    }
    return replaceFileContents(fileName, out);
}

} // namespace qvo::platform
