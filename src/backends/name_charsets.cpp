#include "backends/name_charsets.h"

#include "archivers/include/qvo_archiver.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace qvo::backends {
namespace {

bool sameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

} // namespace

const std::vector<std::string> &nameCharsets()
{
#define QVO_NAME_CHARSET_ENTRY(name) name,
    static const std::vector<std::string> kCharsets = {QVO_NAME_CHARSETS(QVO_NAME_CHARSET_ENTRY)};
#undef QVO_NAME_CHARSET_ENTRY
    return kCharsets;
}

bool isNameCharset(std::string_view name)
{
    const auto &all = nameCharsets();
    return std::find(all.begin(), all.end(), name) != all.end();
}

std::optional<std::string> nameCharsetNamed(std::string_view text)
{
    for (const std::string &name : nameCharsets())
        if (sameLetters(text, name))
            return name;
    static const std::pair<const char *, const char *> kOtherNames[] = {
        {"SJIS", "CP932"},          {"Shift_JIS", "CP932"},    {"Shift-JIS", "CP932"},
        {"Windows-31J", "CP932"},   {"EUCJP", "EUC-JP"},       {"UTF8", "UTF-8"},
        {"GBK", "GB18030"},         {"CP936", "GB18030"},      {"GB2312", "GB18030"},
        {"BIG-5", "BIG5"},          {"CP950", "BIG5"},         {"EUC-KR", "CP949"},
        {"UHC", "CP949"},           {"IBM437", "CP437"},       {"IBM850", "CP850"},       {"IBM866", "CP866"},
        {"Windows-1252", "CP1252"}, {"Latin1", "ISO-8859-1"},  {"Latin-1", "ISO-8859-1"},
        {"Latin9", "ISO-8859-15"},  {"Windows-1250", "CP1250"}, {"Windows-1251", "CP1251"},
    };
    for (const auto &[other, name] : kOtherNames)
        if (sameLetters(text, other))
            return std::string(name);
    return std::nullopt;
}

} // namespace qvo::backends
