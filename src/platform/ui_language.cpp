#include "platform/ui_language.h"

#include <cstdlib>
#include <string>

namespace qvo::platform {
namespace {

bool namesJapanese(const std::string &locale)
{
    return locale.size() >= 2 && locale.compare(0, 2, "ja") == 0 &&
           (locale.size() == 2 || locale[2] == '_' || locale[2] == '.' || locale[2] == '@' || locale[2] == '-');
}

} // namespace

UiLanguage uiLanguage(const std::function<const char *(const char *name)> &environment)
{
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char *value = environment(name);
        if (!value || !*value)
            continue;
        std::string first(value);
        // LANGUAGE lists several in order of preference: "ja:en".
        first = first.substr(0, first.find(':'));
        if (first.empty())
            continue;
        return namesJapanese(first) ? UiLanguage::Japanese : UiLanguage::English;
    }
    return UiLanguage::English;
}

UiLanguage uiLanguage()
{
    return uiLanguage([](const char *name) { return static_cast<const char *>(std::getenv(name)); });
}

} // namespace qvo::platform
