#include "text/name_charset_guess.h"

#include "text/charset_decoding.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

namespace qvo::text {

const std::vector<std::string> kGuessedCharsets = {
    "CP932", "EUC-JP", "UTF-8", "GB18030", "BIG5", "CP949", "CP1252",
    "CP437", "CP850", "CP1250", "CP1251", "KOI8-R", "CP866",
};

namespace {

// What uchardet may answer, as the candidate it stands for.
std::optional<std::string> candidateOf(const char *detected)
{
    static const std::pair<const char *, const char *> kMap[] = {
        {"SHIFT_JIS", "CP932"},   {"EUC-JP", "EUC-JP"},       {"UTF-8", "UTF-8"},
        {"GB18030", "GB18030"},   {"BIG5", "BIG5"},           {"EUC-KR", "CP949"},
        {"UHC", "CP949"},         {"WINDOWS-1252", "CP1252"}, {"ISO-8859-1", "CP1252"},
        {"ISO-8859-15", "CP1252"}, {"WINDOWS-1250", "CP1250"}, {"ISO-8859-2", "CP1250"},
        {"WINDOWS-1251", "CP1251"}, {"KOI8-R", "KOI8-R"},     {"IBM437", "CP437"},
        {"IBM850", "CP850"},      {"IBM866", "CP866"},
    };
    if (!detected)
        return std::nullopt;
    for (const auto &[name, candidate] : kMap)
        if (strcasecmp(detected, name) == 0)
            return std::string(candidate);
    return std::nullopt;
}

std::optional<std::string> detectorGuess(const std::vector<std::string> &names)
{
    std::unique_ptr<uchardet, decltype(&uchardet_delete)> detector(uchardet_new(), uchardet_delete);
    if (!detector)
        return std::nullopt;
    for (const std::string &name : names) {
        uchardet_handle_data(detector.get(), name.data(), name.size());
        uchardet_handle_data(detector.get(), "\n", 1);
    }
    uchardet_data_end(detector.get());
    return candidateOf(uchardet_get_charset(detector.get()));
}

bool between(unsigned c, unsigned lo, unsigned hi)
{
    return c >= lo && c <= hi;
}

// Scores of the double-byte encodings, from the byte ranges of their
// common characters: kana and first-level ideographs score high, rare
// extension areas nothing.  A character's length follows its lead byte.
double cp932Char(unsigned lead, unsigned, size_t &length)
{
    if (between(lead, 0xA1, 0xDF)) {
        length = 1;
        return 0.5; // half-width katakana, common in DOS-era names
    }
    length = 2;
    if (lead == 0x82 || lead == 0x83)
        return 3; // hiragana, katakana, full-width letters
    if (lead == 0x81)
        return 1;
    if (between(lead, 0x88, 0x98))
        return 2;
    if (between(lead, 0x99, 0x9F) || between(lead, 0xE0, 0xEA))
        return 0.5;
    return 0;
}

double eucJpChar(unsigned lead, unsigned, size_t &length)
{
    length = lead == 0x8F ? 3 : 2;
    if (lead == 0xA4 || lead == 0xA5)
        return 3;
    if (between(lead, 0xA1, 0xA3))
        return 1;
    if (between(lead, 0xB0, 0xCF))
        return 2;
    if (lead == 0x8E || between(lead, 0xD0, 0xF4))
        return 0.5;
    return 0;
}

double gbChar(unsigned lead, unsigned trail, size_t &length)
{
    if (between(trail, 0x30, 0x39)) {
        length = 4;
        return -1;
    }
    length = 2;
    if (trail < 0xA1)
        return 0; // GBK extension
    if (between(lead, 0xB0, 0xD7))
        return 2;
    if (between(lead, 0xD8, 0xF7) || between(lead, 0xA1, 0xA3))
        return 1;
    return 0;
}

double big5Char(unsigned lead, unsigned, size_t &length)
{
    length = 2;
    if (between(lead, 0xA4, 0xC6))
        return 2;
    if (between(lead, 0xC9, 0xF9) || between(lead, 0xA1, 0xA3))
        return 1;
    return 0;
}

double cp949Char(unsigned lead, unsigned trail, size_t &length)
{
    length = 2;
    if (trail < 0xA1)
        return 0; // the Hangul that only the Windows extension holds
    if (between(lead, 0xB0, 0xC8))
        return 2;
    if (between(lead, 0xA1, 0xAF) || between(lead, 0xCA, 0xFD))
        return 0.5;
    return 0;
}

double utf8Char(unsigned lead, unsigned, size_t &length)
{
    length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    return length == 3 ? 3 : length == 2 ? 2 : 1;
}

using CharScore = double (*)(unsigned lead, unsigned trail, size_t &length);

double scoreMultiByte(std::string_view name, CharScore score)
{
    double total = 0;
    size_t i = 0;
    while (i < name.size()) {
        auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        unsigned trail = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        size_t length = 1;
        total += score(c, trail, length);
        i += std::max<size_t>(length, 1);
    }
    return total;
}

bool isAsciiLetter(char32_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isLatinLetter(char32_t c)
{
    return (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

bool isCyrillicLetter(char32_t c)
{
    return c >= 0x400 && c <= 0x4FF;
}

// The Cyrillic code pages put the same bytes on different letters; the
// letters most frequent in Russian tell the right one.
double cyrillicWeight(char32_t c)
{
    static const std::u32string_view kFrequent = U"оеаинтсрвлкмдпу";
    char32_t lower = c >= 0x410 && c <= 0x42F ? c + 0x20 : c;
    return kFrequent.find(lower) != std::u32string_view::npos ? 1 : 0.6;
}

// Single-byte encodings: an accented letter is likely beside plain ones
// ("Müller"), far less in a run of its own, which is how the bytes of
// double-byte text read there; Cyrillic words are runs of Cyrillic
// letters.  Box drawing (the DOS code pages) has no place in a name.
double scoreSingleByte(const std::u32string &text)
{
    double total = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c < 0x80)
            continue;
        char32_t before = i > 0 ? text[i - 1] : U' ';
        char32_t after = i + 1 < text.size() ? text[i + 1] : U' ';
        if (isLatinLetter(c))
            total += isAsciiLetter(before) || isAsciiLetter(after) ? 1.5 : 0.5;
        else if (isCyrillicLetter(c))
            total += isCyrillicLetter(before) || isCyrillicLetter(after) || isAsciiLetter(before) ||
                             isAsciiLetter(after)
                         ? cyrillicWeight(c)
                         : 0.5;
        else if (c >= 0x2500 && c <= 0x259F)
            total -= 1;
    }
    return total;
}

// The score of `names` read in `charset`, or nullopt when a name is not
// valid there.
std::optional<double> scoreIn(const std::vector<std::string> &names, const std::string &charset)
{
    static const std::pair<const char *, CharScore> kMultiByte[] = {
        {"CP932", cp932Char}, {"EUC-JP", eucJpChar}, {"UTF-8", utf8Char},
        {"GB18030", gbChar},  {"BIG5", big5Char},    {"CP949", cp949Char},
    };
    CharScore multiByte = nullptr;
    for (const auto &[name, score] : kMultiByte)
        if (charset == name)
            multiByte = score;
    const StrictNameDecoder decode(charset);
    double total = 0;
    for (const std::string &name : names) {
        std::optional<std::u32string> text = decode(name);
        if (!text)
            return std::nullopt;
        total += multiByte ? scoreMultiByte(name, multiByte) : scoreSingleByte(*text);
    }
    return total;
}

} // namespace

std::string guessNameCharset(const std::vector<std::string> &names, bool preferOem)
{
    const std::string cp932 = "CP932";
    if (names.empty())
        return cp932;
    std::vector<std::string> order = kGuessedCharsets;
    if (preferOem) {
        auto western = std::find(order.begin(), order.end(), "CP1252");
        std::rotate(western, western + 1, std::find(order.begin(), order.end(), "CP850") + 1);
    }

    std::vector<std::pair<std::string, double>> valid;
    for (const std::string &charset : order)
        if (std::optional<double> score = scoreIn(names, charset))
            valid.emplace_back(charset, *score);
    if (valid.empty())
        return cp932;
    auto scoreOf = [&valid](const std::string &charset) -> std::optional<double> {
        for (const auto &[name, score] : valid)
            if (name == charset)
                return score;
        return std::nullopt;
    };

    // The best scorer, the first of equals; the detector's guess instead
    // while it scores at least half as well.
    auto best = std::max_element(valid.begin(), valid.end(),
                                 [](const auto &a, const auto &b) { return a.second < b.second; });
    std::pair<std::string, double> challenger = *best;
    if (std::optional<std::string> guess = detectorGuess(names)) {
        std::optional<double> guessScore = scoreOf(*guess);
        if (guessScore && *guessScore >= best->second / 2)
            challenger = {*guess, *guessScore};
    }
    // Valid UTF-8 that also reads as CP932 stays CP932: where the origin
    // does not say UTF-8, unmarked names are the code page's.
    std::optional<double> cp932Score = scoreOf(cp932);
    if (cp932Score && (challenger.first == "UTF-8" || !(challenger.second > 2 * *cp932Score)))
        return cp932;
    return challenger.first;
}

} // namespace qvo::text
