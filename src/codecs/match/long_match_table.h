// The newest position for each hash of eight bytes: one probe finds a long
// repeat at any distance, where a shallow tree or chain search has long
// dropped the older copy (a file stored twice, a licence text quoted again).
//
// Positions are stream positions; the caller keeps the eight bytes at each
// position readable while it inserts or looks it up, and checks a
// candidate's bytes and distance itself (hashes collide, entries go stale).
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

namespace qvo::codecs::match {

class LongMatchTable {
public:
    static constexpr uint32_t kPrefixLength = 8;

    explicit LongMatchTable(unsigned hashBits) : hashBits_(hashBits), slots_(size_t(1) << hashBits, 0) {}

    // The newest position inserted with these eight bytes' hash, or -1.
    int64_t candidate(const uint8_t *in) const { return int64_t(slots_[hash(in)]) - 1; }

    void insert(const uint8_t *in, uint32_t pos) { slots_[hash(in)] = pos + 1; }

    void prefetch(const uint8_t *in) const { __builtin_prefetch(&slots_[hash(in)]); }

private:
    uint32_t hash(const uint8_t *p) const
    {
        uint64_t v;
        std::memcpy(&v, p, sizeof v);
        return uint32_t((v * 0x9E3779B97F4A7C15ull) >> (64 - hashBits_));
    }

    unsigned hashBits_;
    std::vector<uint32_t> slots_; // position + 1; 0 is empty
};

} // namespace qvo::codecs::match
