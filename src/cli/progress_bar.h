// A one-line progress bar on a terminal, redrawn in place.
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>

namespace qvo::cli {

class ProgressBar {
public:
    explicit ProgressBar(std::FILE *out) : out_(out) {}
    // Redraws at most ten times a second unless `force`.
    void draw(int32_t done, int32_t total, bool force = false);
    // Removes the bar so that a line can be printed in its place.
    void clear();

private:
    std::FILE *out_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

} // namespace qvo::cli
