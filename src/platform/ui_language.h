// The language the program speaks to its user.
//
// Japanese is the interface's own language; every other choice gets the
// English translation.  The windows and qvo-convert ask the same function,
// so both speak alike under one environment.
#pragma once
#include <functional>

namespace qvo::platform {

enum class UiLanguage { Japanese, English };

// Looks at LANGUAGE (its first entry), then LC_ALL, LC_MESSAGES and LANG,
// in the order Qt and gettext read them; the first one that is set decides.
// Japanese when it names "ja" ("ja", "ja_JP.UTF-8", "ja_JP@...").
UiLanguage uiLanguage();
UiLanguage uiLanguage(const std::function<const char *(const char *name)> &environment);

} // namespace qvo::platform
