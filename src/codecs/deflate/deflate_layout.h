// Where the blocks of a raw deflate stream lie, to the bit.
//
// Joining independently compressed chunks into one stream needs the final
// block's header (to clear its final bit) and the end of the stream (to
// append after it).  Nothing but the stream itself says where they are, so
// it is walked block by block: Huffman symbols are decoded only far enough
// to skip them and no data is produced, so the walk costs less than
// inflating (half as much on long runs, where inflating copies the most).
#pragma once
#include <cstdint>
#include <optional>
#include <span>

namespace qvo::codecs::deflate {

struct DeflateLayout {
    uint64_t finalHeaderBit = 0; // first bit of the final block's header
    uint64_t endBit = 0;         // first bit after the final block
};

// nullopt when `stream` is not a complete, valid deflate stream.
std::optional<DeflateLayout> deflateLayout(std::span<const uint8_t> stream);

} // namespace qvo::codecs::deflate
