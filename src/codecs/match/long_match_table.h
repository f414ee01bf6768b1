// The newest position for each hash of eight bytes: one probe finds a long
// repeat at any distance, where a shallow tree or chain search has long
// dropped the older copy (a file stored twice, a licence text quoted again).
//
// Positions are stream positions; the caller keeps the eight bytes at each
// position readable while it inserts or looks it up, and checks a
// candidate's bytes and distance itself (entries go stale).
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

namespace qvo::codecs::match {

class LongMatchTable {
public:
    static constexpr uint32_t kPrefixLength = 8;

    explicit LongMatchTable(unsigned hashBits) : hashBits_(hashBits), slots_(size_t(1) << hashBits) {}

    // The newest position inserted with the same eight bytes (as far as
    // the hash and a check value tell), or -1.
    int64_t candidate(const uint8_t *in) const
    {
        const uint64_t h = hash(in);
        const Slot &s = slots_[index(h)];
        return s.check == check(h) ? int64_t(s.pos) - 1 : -1;
    }

    void insert(const uint8_t *in, uint32_t pos)
    {
        const uint64_t h = hash(in);
        slots_[index(h)] = {pos + 1, check(h)};
    }

    void prefetch(const uint8_t *in) const { __builtin_prefetch(&slots_[index(hash(in))]); }

private:
    // Most probes land on a slot another string filled; the check value
    // turns them down without reading that string, a cache miss far back.
    struct Slot {
        uint32_t pos = 0; // position + 1; 0 is empty
        uint32_t check = 0;
    };

    static uint64_t hash(const uint8_t *p)
    {
        uint64_t v;
        std::memcpy(&v, p, sizeof v);
        return v * 0x9E3779B97F4A7C15ull;
    }
    uint32_t index(uint64_t h) const { return uint32_t(h >> (64 - hashBits_)); }
    static uint32_t check(uint64_t h) { return uint32_t(h); }

    unsigned hashBits_;
    std::vector<Slot> slots_;
};

} // namespace qvo::codecs::match
