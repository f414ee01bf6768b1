// Composing member names to NFC.
//
// Names made on a Mac are decomposed (NFD): "が" is stored as "か" followed
// by a combining voiced mark.  CP932 has no combining marks, and the LHA and
// ZIP tools of Japanese Windows show such names split, so the writers
// compose every name.  Two names that differ only in composition would then
// become one; an archive holding such a pair keeps all its names as they
// are, since which one to rename is nobody's guess.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvo::text {

// The NFC form of `name`; a name that is not valid UTF-8 (raw bytes from
// disk) comes back unchanged.
std::string composedName(std::string_view name);

// Two different names that would compose to one.
using NameClash = std::pair<std::string, std::string>;

// Every name of `names` composed, in order; nothing when two different
// names would compose to one, the first such pair then in `clash`.  A name
// listed twice is no clash: it is one name.
std::optional<std::vector<std::string>> composedNames(const std::vector<std::string> &names,
                                                      NameClash *clash = nullptr);

} // namespace qvo::text
