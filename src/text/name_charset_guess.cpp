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

// The code pages of DOS in the West, which DOS and Windows archivers
// there write names in.
bool isDosPage(const std::string &charset)
{
    return charset == "CP437" || charset == "CP850" || charset == "CP866";
}

// The Windows pages of the West and the Unix encodings, which they should
// not write (valid UTF-8 goes its own way).
bool isAnsiOrUnixPage(const std::string &charset)
{
    return charset == "CP1252" || charset == "CP1250" || charset == "CP1251" || charset == "KOI8-R" ||
        charset == "EUC-JP";
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

auto only(const char *charset)
{
    return [charset](const std::string &c) { return c == charset; };
}

// Whether `challenger` reads the names more than twice as well as
// `incumbent` (better at all, where the incumbent scores below zero).
bool beats(const Reading &challenger, const Reading &incumbent)
{
    return challenger.score > std::max(incumbent.score, 2 * incumbent.score);
}

} // namespace

std::string guessNameCharset(const std::vector<std::string> &names, bool preferOem)
{
    std::vector<std::string> order = kGuessedCharsets;
    if (preferOem) // the DOS pages win ties
        std::stable_partition(order.begin(), order.end(), isDosPage);
    std::vector<Reading> valid;
    for (const std::string &charset : order)
        if (std::optional<double> score = names.empty() ? std::nullopt : nameLikeness(names, charset))
            valid.push_back({charset, *score});
    if (valid.empty())
        return kCp932;
    // Valid UTF-8 is no DOS page's text, whose accented letters and box
    // drawing are bytes UTF-8 never has alone.
    const bool oem = preferOem && !bestOf(valid, only("UTF-8"));

    // The best scorer, the first of equals; the detector's guess instead
    // while it scores at least half as well.
    Reading challenger = *bestOf(valid, [](const std::string &) { return true; });
    if (std::optional<std::string> guess = detectorGuess(names)) {
        std::optional<Reading> guessed = bestOf(valid, only(guess->c_str()));
        if (guessed && guessed->score >= challenger.score / 2)
            challenger = *guessed;
    }
    const std::optional<Reading> japanese = bestOf(valid, only(kCp932));
    if (oem) {
        // DOS and Windows archivers write the OEM code page: in the West a
        // DOS page.  A Windows or Unix encoding takes over only by reading
        // the names more than twice as well (better, against CP866, which
        // reads the Windows pages' Cyrillic as Cyrillic too), CP932 only
        // by reading them better.
        const std::optional<Reading> dos = bestOf(valid, isDosPage);
        if (dos && isAnsiOrUnixPage(challenger.charset) &&
            !(dos->charset == "CP866" ? challenger.score > dos->score : beats(challenger, *dos)))
            challenger = *dos;
        if (dos && japanese && (challenger.charset == kCp932 || isDosPage(challenger.charset)))
            return japanese->score > dos->score ? kCp932 : dos->charset;
    }
    // CP932, what unmarked names have always been read as, keeps its place
    // unless another reading scores more than twice as well; valid UTF-8
    // that also reads as CP932 stays CP932: where the origin does not say
    // UTF-8, unmarked names are the code page's.
    if (japanese && challenger.charset != kCp932 && (challenger.charset == "UTF-8" || !beats(challenger, *japanese)))
        return kCp932;
    return challenger.charset;
}

} // namespace qvo::text
