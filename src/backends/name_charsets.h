// The encodings a user can name for member names that archives do not
// mark (QVO_NAME_CHARSETS), as the settings, the settings dialog and
// qvo-convert offer them.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvo::backends {

// What the settings store and the command line takes for "judge per archive".
inline constexpr const char *kNameCharsetAuto = "auto";

// The encodings, in the order they are offered.
const std::vector<std::string> &nameCharsets();

// True for one of nameCharsets(), spelled as listed.
bool isNameCharset(std::string_view name);

// The listed encoding `text` names: its own name in any letter case or a
// common other name ("Shift_JIS", "GBK", "EUC-KR", "Latin1", ...).
// nullopt for anything else (also for "auto").
std::optional<std::string> nameCharsetNamed(std::string_view text);

} // namespace qvo::backends
