#include "text/name_charset_guess.h"

#include "text/name_likeness.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace qvo::text {

const std::vector<std::string> kGuessedCharsets = {
    "CP932", "EUC-JP", "UTF-8", "GB18030", "BIG5", "CP949", "CP1252",
    "CP437", "CP850", "CP1250", "CP1251", "KOI8-R", "CP866",
};

namespace {

const char *const kCp932 = "CP932";

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

struct Reading {
    std::string charset;
    double score;
};

// The DOS code pages, and the double-byte ones East Asian systems use as
// theirs: what DOS and Windows archivers write names in.
bool isDosPage(const std::string &charset)
{
    return charset == "CP437" || charset == "CP850" || charset == "CP866";
}

bool isEastAsianOemPage(const std::string &charset)
{
    return charset == "CP932" || charset == "GB18030" || charset == "BIG5" || charset == "CP949";
}

// The first best reading among those `wanted`.
template <typename Wanted> std::optional<Reading> bestOf(const std::vector<Reading> &readings, Wanted wanted)
{
    std::optional<Reading> best;
    for (const Reading &r : readings)
        if (wanted(r.charset) && (!best || r.score > best->score))
            best = r;
    return best;
}

// Whether `challenger` reads the names more than twice as well as
// `incumbent` (better at all, where the incumbent scores below zero).
bool beats(const Reading &challenger, const Reading &incumbent)
{
    return challenger.score > std::max(incumbent.score, 2 * incumbent.score);
}

// The reading of `names` among those `allowed`: the best scorer, the first
// of equals, or the detector's guess while it scores at least half as
// well.  CP932, what unmarked names have always been read as, keeps its
// place unless another reading scores more than twice as well; valid UTF-8
// that also reads as CP932 stays CP932: where the origin does not say
// UTF-8, unmarked names are the code page's.
template <typename Allowed>
std::optional<Reading> pick(const std::vector<Reading> &valid, const std::optional<std::string> &detected,
                            Allowed allowed)
{
    std::optional<Reading> challenger = bestOf(valid, allowed);
    if (!challenger)
        return std::nullopt;
    if (detected && allowed(*detected)) {
        std::optional<Reading> guessed = bestOf(valid, [&](const std::string &c) { return c == *detected; });
        if (guessed && guessed->score >= challenger->score / 2)
            challenger = guessed;
    }
    std::optional<Reading> japanese =
        bestOf(valid, [&](const std::string &c) { return c == kCp932 && allowed(c); });
    if (japanese && challenger->charset != kCp932 &&
        (challenger->charset == "UTF-8" || !beats(*challenger, *japanese)))
        return japanese;
    return challenger;
}

} // namespace

std::string guessNameCharset(const std::vector<std::string> &names, bool preferOem)
{
    std::vector<Reading> valid;
    for (const std::string &charset : kGuessedCharsets)
        if (std::optional<double> score = names.empty() ? std::nullopt : nameLikeness(names, charset))
            valid.push_back({charset, *score});
    if (valid.empty())
        return kCp932;
    const std::optional<std::string> detected = detectorGuess(names);
    // Valid UTF-8 is no DOS page's text, whose accented letters and box
    // drawing are bytes UTF-8 never has alone.
    const bool utf8 = std::any_of(valid.begin(), valid.end(), [](const Reading &r) { return r.charset == "UTF-8"; });
    if (!preferOem || utf8)
        return pick(valid, detected, [](const std::string &) { return true; })->charset;

    // DOS and Windows archivers write the system's OEM code page: a DOS
    // page in the West unless the names read better in an East Asian one;
    // another encoding only when it reads them more than twice as well.
    std::optional<Reading> oem = bestOf(valid, isDosPage);
    if (std::optional<Reading> east = pick(valid, detected, isEastAsianOemPage); east && (!oem || east->score > oem->score))
        oem = east;
    std::optional<Reading> other =
        pick(valid, detected, [](const std::string &c) { return !isDosPage(c) && !isEastAsianOemPage(c); });
    if (!oem || (other && beats(*other, *oem)))
        return other ? other->charset : kCp932;
    return oem->charset;
}

} // namespace qvo::text
