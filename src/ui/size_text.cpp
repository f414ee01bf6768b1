#include "ui/size_text.h"

#include <cmath>

namespace qvo::ui {

std::string formatGrouped(double value)
{
    const long long rounded = std::llround(value); // halves away from zero
    if (rounded == 0)
        return {};
    const bool negative = rounded < 0;
    std::string digits = std::to_string(negative ? -rounded : rounded);
    std::string out;
    const size_t lead = digits.size() % 3;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (i + 3 - lead) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

std::string sizeText(int64_t bytes) { return formatGrouped(static_cast<double>(bytes) / 1000.0) + " KB"; }

int64_t sizeTextKB(const std::string &text)
{
    const size_t end = text.find(" KB");
    int64_t value = 0;
    bool negative = false;
    for (size_t i = 0; i < (end == std::string::npos ? text.size() : end); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            value = value * 10 + (c - '0');
        else if (c == '-' && value == 0)
            negative = true;
        else if (c != ',')
            break;
    }
    return negative ? -value : value;
}

} // namespace qvo::ui
