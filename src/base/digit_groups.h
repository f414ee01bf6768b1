// Whole numbers as the windows and messages show them: digits in groups of
// three.
#pragma once
#include <cstdint>
#include <string>

namespace qvo::base {

// `value` with "," between groups of three digits ("1,234,567"); no
// digits at all for 0, as the figures the program shows are written.
inline std::string groupedDigits(int64_t value)
{
    if (value == 0)
        return {};
    const bool negative = value < 0;
    // Through unsigned so that the most negative value has a magnitude.
    const uint64_t magnitude = negative ? 0 - uint64_t(value) : uint64_t(value);
    const std::string digits = std::to_string(magnitude);
    const size_t lead = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    std::string out = digits.substr(0, lead);
    for (size_t k = lead; k < digits.size(); k += 3)
        out += "," + digits.substr(k, 3);
    return negative ? "-" + out : out;
}

} // namespace qvo::base
