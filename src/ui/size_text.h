// Size figures as the windows show them: units of 1,000 bytes, digits in
// groups of three, and no digits at all for a figure that rounds to zero.
#pragma once
#include <cstdint>
#include <string>

namespace qvo::ui {

// The size column's text for a file of `bytes`: "1,235 KB", or " KB" alone
// below 500 bytes.
std::string sizeText(int64_t bytes);

// The figure before " KB" in a size text, group separators ignored; 0 when
// there is no figure.
int64_t sizeTextKB(const std::string &text);

} // namespace qvo::ui
