// The compression of one CAB folder, one CFDATA frame at a time.
//
// The cabinet writer cuts a folder's uncompressed stream into frames of
// 32768 bytes (the last may be shorter) and asks a FolderCompressor for each
// frame's CFDATA payload.  A compressor may keep state across the frames of
// one folder (MSZIP refers to the previous frame's data, LZX keeps its
// window); a new folder gets a new compressor.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace qvo::codecs {

constexpr size_t kFrameSize = 32768;

// CFFOLDER.typeCompress values.
constexpr uint16_t kTypeNone = 0;
constexpr uint16_t kTypeMszip = 1;
constexpr uint16_t kTypeLzx = 3;
constexpr uint16_t lzxType(int windowBits) { return static_cast<uint16_t>(kTypeLzx | (windowBits << 8)); }

class FolderCompressor {
public:
    virtual ~FolderCompressor() = default;
    // The CFFOLDER.typeCompress value of the folders this compressor makes.
    virtual uint16_t typeCompress() const = 0;
    // Compresses one frame and appends its CFDATA payload to `out`.
    // `input` holds at most kFrameSize bytes; every frame of a folder but the
    // last holds exactly kFrameSize.
    virtual void compressFrame(std::span<const uint8_t> input, bool lastFrameOfFolder,
                               std::vector<uint8_t> &out) = 0;

    // Compresses consecutive frames of one folder at once and appends one
    // payload per frame to `payloads`.  `input` holds whole frames; only the
    // folder's last frame may be shorter, and then `endsFolder` is true.
    // The result equals calling compressFrame on each frame in turn; a
    // compressor whose frames are independent enough may spread them over
    // several threads.
    virtual void compressFrames(std::span<const uint8_t> input, bool endsFolder,
                                std::vector<std::vector<uint8_t>> &payloads)
    {
        for (size_t pos = 0; pos < input.size(); pos += kFrameSize) {
            size_t n = input.size() - pos < kFrameSize ? input.size() - pos : kFrameSize;
            payloads.emplace_back();
            compressFrame(input.subspan(pos, n), endsFolder && pos + n == input.size(),
                          payloads.back());
        }
    }
};

} // namespace qvo::codecs
