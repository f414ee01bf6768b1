// What qvo-convert says, in the language of the environment: the status
// texts of the run and the working-space message as the windows show them
// under a Japanese locale, their English under any other.  The run's own
// status texts stay Japanese; only the printed words change.
#pragma once
#include "convert/start_check.h"
#include "platform/ui_language.h"

#include <string>

namespace qvo::cli {

// A row's status ("変換成功", ...) as printed.  Unknown texts pass through.
std::string statusWord(const std::string &status, platform::UiLanguage language);

// The message printed when the working root's volume is too full.
std::string spaceShortageMessage(const convert::SpaceShortfall &shortfall, platform::UiLanguage language);

} // namespace qvo::cli
