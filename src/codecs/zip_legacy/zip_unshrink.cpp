#include "codecs/zip_legacy/zip_unshrink.h"

#include "codecs/lz/lsb_bit_reader.h"
#include "codecs/lz/sized_output.h"

#include <algorithm>
#include <array>
#include <vector>

namespace qvo::codecs::zip_legacy {

using base::ByteSink;
using base::ByteSource;
using base::DecodeStatus;

namespace {

constexpr unsigned kMinBits = 9;
constexpr unsigned kMaxBits = 13;
constexpr uint32_t kControl = 256;
constexpr uint32_t kFirstFree = 257;
constexpr uint32_t kCodes = 1u << kMaxBits;
// PKZIP never hands out the top code; neither do we, to stay in step.
constexpr uint32_t kLastUsable = kCodes - 2;
constexpr uint32_t kWiden = 1;
constexpr uint32_t kPartialClear = 2;
constexpr int32_t kFree = -1;
constexpr size_t kWindowSize = 8 * 1024; // only a staging buffer: LZW copies nothing back

class Unshrinker {
public:
    Unshrinker(ByteSource &in, uint64_t size, ByteSink &out) : in_(in), window_(out, kWindowSize, size, 0)
    {
        parent_.fill(kFree);
        for (uint32_t c = 0; c < 256; ++c)
            suffix_[c] = static_cast<uint8_t>(c);
        for (uint32_t c = kFirstFree; c <= kLastUsable; ++c)
            freeCodes_.push_back(static_cast<uint16_t>(c));
        string_.reserve(kCodes);
    }

    DecodeStatus run()
    {
        DecodeStatus status = decode();
        return window_.finish(status);
    }

private:
    bool isDefined(uint32_t code) const { return code < 256 || (code > kControl && parent_[code] != kFree); }

    // Reads the next data code, acting on controls; false on a bad control.
    bool readCode(uint32_t &code)
    {
        for (;;) {
            code = in_.bits(bits_);
            if (code != kControl)
                return true;
            uint32_t control = in_.bits(bits_);
            if (control == kWiden && bits_ < kMaxBits)
                ++bits_;
            else if (control == kPartialClear)
                partialClear();
            else
                return false;
            if (in_.overran())
                return true; // the caller notices
        }
    }

    void partialClear()
    {
        std::array<bool, kCodes> isPrefix{};
        for (uint32_t c = kFirstFree; c < kCodes; ++c) {
            if (parent_[c] != kFree)
                isPrefix[static_cast<size_t>(parent_[c])] = true;
        }
        freeCodes_.clear();
        nextFree_ = 0;
        for (uint32_t c = kFirstFree; c <= kLastUsable; ++c) {
            if (!isPrefix[c]) {
                parent_[c] = kFree;
                freeCodes_.push_back(static_cast<uint16_t>(c));
            }
        }
    }

    // The string of `code` into string_, first byte first; false when the
    // chain is broken or loops (only hostile data does that).
    bool expand(uint32_t code)
    {
        string_.clear();
        for (uint32_t steps = 0; code >= 256; ++steps) {
            if (steps >= kCodes || parent_[code] == kFree)
                return false;
            string_.push_back(suffix_[code]);
            code = static_cast<uint32_t>(parent_[code]);
        }
        string_.push_back(static_cast<uint8_t>(code));
        std::reverse(string_.begin(), string_.end());
        return true;
    }

    // A code made while its prefix was freed by a partial clear may name
    // that prefix just as it is about to be made again: make it now, as
    // the previous string plus that string's first byte.
    void defineFreedPrefix(uint32_t code, uint32_t previous, uint8_t first)
    {
        if (code <= kControl)
            return;
        auto prefix = static_cast<uint32_t>(parent_[code]);
        if (prefix > kControl && parent_[prefix] == kFree && prefix == peekFree()) {
            parent_[prefix] = static_cast<int32_t>(previous);
            suffix_[prefix] = first;
        }
    }

    uint32_t peekFree() const { return nextFree_ < freeCodes_.size() ? freeCodes_[nextFree_] : kCodes; }

    DecodeStatus decode()
    {
        if (window_.full())
            return DecodeStatus::Ok;
        uint32_t code;
        if (!readCode(code) || code >= 256)
            return in_.overran() ? DecodeStatus::Truncated : DecodeStatus::Corrupt;
        uint32_t previous = code;
        uint8_t first = static_cast<uint8_t>(code);
        window_.put(first);
        while (!window_.full() && !window_.stopped()) {
            if (!readCode(code))
                return DecodeStatus::Corrupt;
            if (in_.overran())
                return DecodeStatus::Truncated;
            if (isDefined(code)) {
                defineFreedPrefix(code, previous, first);
                if (!expand(code))
                    return DecodeStatus::Corrupt;
            } else if (code == peekFree() && expand(previous)) {
                // The code about to be made (the KwKwK case): the previous
                // string and its own first byte.
                string_.push_back(string_.front());
            } else {
                return DecodeStatus::Corrupt;
            }
            for (uint8_t b : string_)
                window_.put(b);
            first = string_.front();
            uint32_t fresh = peekFree();
            if (fresh != kCodes) {
                ++nextFree_;
                parent_[fresh] = static_cast<int32_t>(previous);
                suffix_[fresh] = first;
            }
            previous = code;
        }
        return DecodeStatus::Ok;
    }

    lz::LsbBitReader in_;
    lz::SizedOutput window_;
    unsigned bits_ = kMinBits;
    std::array<int32_t, kCodes> parent_{};
    std::array<uint8_t, kCodes> suffix_{};
    std::vector<uint16_t> freeCodes_;
    size_t nextFree_ = 0;
    std::vector<uint8_t> string_;
};

} // namespace

DecodeStatus unshrink(ByteSource &in, uint64_t size, ByteSink &out)
{
    return Unshrinker(in, size, out).run();
}

} // namespace qvo::codecs::zip_legacy
