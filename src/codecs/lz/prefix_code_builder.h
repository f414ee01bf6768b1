// Length-limited canonical Huffman codes, as the LHA methods and LZX send
// them: code lengths from symbol frequencies, then codes assigned
// canonically (shorter codes first, equal lengths in symbol order), the
// codes prefix_code.h decodes.
#pragma once
#include <cstdint>
#include <span>

namespace qvo::codecs::lz {

// Codes here are at most this long; `codes` below holds them in 16 bits.
constexpr unsigned kMaxBuiltCodeLength = 16;

// Fills `lengths` (as long as `freqs`) with the lengths of a Huffman code
// over the used symbols, none above `maxLength` (at most
// kMaxBuiltCodeLength), 0 for the unused ones.  The code is complete, as
// the LZX decoders require: a lone used symbol gets a partner of the same
// length (symbol 0, or 1 when it is 0 itself); no used symbol leaves every
// length 0.  Returns the number of used symbols, so that a format with a
// form of its own for a lone symbol (LHA) can send that instead.
unsigned buildCodeLengths(std::span<const uint32_t> freqs, unsigned maxLength, std::span<uint8_t> lengths);

// Canonical codes for `lengths` (0: no code).
void buildCodes(std::span<const uint8_t> lengths, std::span<uint16_t> codes);

} // namespace qvo::codecs::lz
