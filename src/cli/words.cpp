#include "cli/words.h"

#include "convert/conversion_engine.h"

#include <string_view>

namespace qvo::cli {
namespace {

struct StatusWord {
    std::string_view japanese;
    const char *english;
};
constexpr StatusWord kStatusWords[] = {
    {convert::kStatusWaiting, "Waiting"},
    {convert::kStatusSucceeded, "Converted"},
    {convert::kStatusFailed, "Failed"},
    {convert::kStatusTargetExists, "Target exists"},
};

} // namespace

std::string statusWord(const std::string &status, platform::UiLanguage language)
{
    if (language == platform::UiLanguage::English)
        for (const StatusWord &word : kStatusWords)
            if (status == word.japanese)
                return word.english;
    return status;
}

std::string spaceShortageMessage(const convert::SpaceShortfall &shortfall, platform::UiLanguage language)
{
    if (language == platform::UiLanguage::Japanese)
        return shortfall.drive + " の空き容量が不足しています。変換を行うことができません\nあと " +
               shortfall.missingKB + " KBの空き容量が必要です";
    return "there is not enough free space on " + shortfall.drive + " for the conversion; " +
           (shortfall.missingKB.empty() ? std::string("less than 1") : shortfall.missingKB) +
           " KB more free space is needed";
}

} // namespace qvo::cli
