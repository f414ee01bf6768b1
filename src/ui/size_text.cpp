#include "ui/size_text.h"

#include "base/digit_groups.h"

#include <cmath>

namespace qvo::ui {

std::string sizeText(int64_t bytes)
{
    // Halves away from zero.
    return base::groupedDigits(std::llround(static_cast<double>(bytes) / 1000.0)) + " KB";
}

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
