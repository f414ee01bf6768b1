#include "core/globals.h"

namespace qvo::core {

std::unique_ptr<settings::clsQvoSettings> appSettings;

// --- archive globals: definitions go here ----------------------------------

} // namespace qvo::core
