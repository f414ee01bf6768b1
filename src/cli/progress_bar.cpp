#include "cli/progress_bar.h"

#include <string>

namespace qvo::cli {

void ProgressBar::draw(int32_t done, int32_t total, bool force)
{
    const auto now = std::chrono::steady_clock::now();
    if (!force && shown_ && now - last_ < std::chrono::milliseconds(100))
        return;
    last_ = now;
    constexpr int kWidth = 30;
    const int filled = total > 0 ? int(int64_t(done) * kWidth / total) : kWidth;
    const int percent = total > 0 ? int(int64_t(done) * 100 / total) : 100;
    std::string bar(size_t(filled), '#');
    bar.append(size_t(kWidth - filled), '.');
    std::fprintf(out_, "\r[%s] %d/%d %3d%%", bar.c_str(), done, total, percent);
    std::fflush(out_);
    shown_ = true;
}

void ProgressBar::clear()
{
    if (!shown_)
        return;
    std::fputs("\r\033[K", out_);
    shown_ = false;
}

} // namespace qvo::cli
