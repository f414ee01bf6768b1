// How much of the machine one conversion may use.  When several run at
// once (qvo-convert --jobs, each in its own process), each takes its share
// of the hardware threads and of the memory budgets, so that together they
// use about what one would alone.
//
// The count travels in the environment, QVO_CONVERSIONS_AT_ONCE: the
// archiver libraries keep their own copies of everything in this header,
// but they all see the process's environment.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

namespace qvo::base {

inline constexpr const char *kConversionsAtOnceVariable = "QVO_CONVERSIONS_AT_ONCE";

// How many conversions run side by side (1 when nobody said).
inline unsigned conversionsAtOnce()
{
    const char *text = std::getenv(kConversionsAtOnceVariable);
    if (!text || !*text)
        return 1;
    const unsigned long count = std::strtoul(text, nullptr, 10);
    return static_cast<unsigned>(std::clamp(count, 1ul, 4096ul));
}

// Set before the conversions start, while the process runs one thread.
inline void setConversionsAtOnce(unsigned count)
{
    ::setenv(kConversionsAtOnceVariable, std::to_string(std::max(1u, count)).c_str(), 1);
}

// The hardware threads one conversion may keep busy: the machine's,
// divided among the conversions running at once, but two where the
// machine has two: a conversion on one thread leaves its core idle
// whenever it waits for the disk, and the last of a batch runs alone.
inline unsigned coresForOneConversion()
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return std::max(std::min(cores, 2u), cores / conversionsAtOnce());
}

// One conversion's share of a memory budget meant for a conversion alone.
inline uint64_t shareOfBudget(uint64_t bytes)
{
    return bytes / conversionsAtOnce();
}

} // namespace qvo::base
