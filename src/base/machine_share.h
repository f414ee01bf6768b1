// How much of the machine one conversion may use.  When several run at
// once (qvo-convert --jobs, each in its own process), each takes its share
// of the hardware threads and of the memory budgets, so that together they
// use about what one would alone.  platform::machineShare() tells how
// things stand on this machine.
#pragma once
#include <algorithm>
#include <cstdint>

namespace qvo::base {

struct MachineShare {
    unsigned hardwareThreads = 1;
    unsigned conversionsAtOnce = 1; // running side by side

    // The hardware threads one conversion may keep busy: the machine's,
    // divided among the conversions running at once, but two where the
    // machine has two: a conversion on one thread leaves its core idle
    // whenever it waits for the disk, and the last of a batch runs alone.
    unsigned coresForOneConversion() const
    {
        const unsigned cores = std::max(1u, hardwareThreads);
        return std::max(std::min(cores, 2u), cores / std::max(1u, conversionsAtOnce));
    }

    // One conversion's share of a memory budget meant for a conversion alone.
    uint64_t shareOfBudget(uint64_t bytes) const { return bytes / std::max(1u, conversionsAtOnce); }

    // Worker threads for one conversion: none below `fewestCores` hardware
    // threads (a single core gains nothing from handing work over), else
    // one per hardware thread up to `most`.
    unsigned workers(unsigned most, unsigned fewestCores = 2) const
    {
        const unsigned cores = coresForOneConversion();
        return cores < fewestCores ? 0 : std::min(cores, most);
    }
};

} // namespace qvo::base
