// The compression of one stream cut into frames, each frame's compressed
// form a payload of its own.
//
// The container cuts a stream into frames of 32768 bytes (the last may be
// shorter) and asks a FrameCompressor for each frame's payload.  A
// compressor may keep state across the frames of one stream (MSZIP refers
// to the previous frame's data, LZX keeps its window); a new stream gets a
// new compressor.  What the container records about the method (a CAB
// folder's type) it derives from method() and windowBits().
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace qvo::codecs {

constexpr size_t kFrameSize = 32768;

enum class FrameMethod { Stored, Mszip, Lzx };

class FrameCompressor {
public:
    virtual ~FrameCompressor() = default;
    virtual FrameMethod method() const = 0;
    // The window is 2^windowBits bytes; 0 for methods without one.
    virtual int windowBits() const { return 0; }
    // Compresses one frame and appends its payload to `out`.  `input`
    // holds at most kFrameSize bytes; every frame of a stream but the last
    // holds exactly kFrameSize.
    virtual void compressFrame(std::span<const uint8_t> input, bool lastFrameOfStream,
                               std::vector<uint8_t> &out) = 0;

    // Compresses consecutive frames of one stream at once and appends one
    // payload per frame to `payloads`.  `input` holds whole frames; only the
    // stream's last frame may be shorter, and then `endsStream` is true.
    // The result equals calling compressFrame on each frame in turn; a
    // compressor whose frames are independent enough may spread them over
    // several threads.
    virtual void compressFrames(std::span<const uint8_t> input, bool endsStream,
                                std::vector<std::vector<uint8_t>> &payloads)
    {
        for (size_t pos = 0; pos < input.size(); pos += kFrameSize) {
            size_t n = input.size() - pos < kFrameSize ? input.size() - pos : kFrameSize;
            payloads.emplace_back();
            compressFrame(input.subspan(pos, n), endsStream && pos + n == input.size(),
                          payloads.back());
        }
    }
};

} // namespace qvo::codecs
