// One file of a RAR 1.5-4.x archive or volume set: finds the signature
// (also behind a self-extractor stub), checks the main header and walks the
// blocks.  An archive cut into pieces by a file splitter ("x_aa", "x_ab"
// or "x.001", "x.002") is read as the pieces joined.
#pragma once
#include "formats/rar/rar4_headers.h"
#include "base/unique_fd.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvo::formats::rar::rar4 {

class Volume {
public:
    // kOk, kErrOpenArchive (no RAR 1.5-4 archive), kErrCorrupt (damaged
    // main header) or kErrEncrypted (encrypted headers).
    int32_t open(const std::string &path);

    uint16_t mainFlags() const { return mainFlags_; }

    enum class Step { Block, End, Corrupt };
    // Reads the block at the walk position.  `header` receives the whole
    // header; the block's data starts at dataOffset().  End: end block
    // (endFlags() tells whether a volume follows) or end of file.
    Step next(BlockHeader &block, std::string &header);
    // Moves the walk past the data of the block last returned.
    void skipData() { pos_ = dataSize_ > size_ - dataOffset_ ? size_ : dataOffset_ + dataSize_; }
    uint64_t dataOffset() const { return dataOffset_; }
    uint64_t dataSize() const { return dataSize_; }
    bool sawEndBlock() const { return sawEnd_; }
    uint16_t endFlags() const { return endFlags_; }

    // Reads up to `n` bytes at `offset`; returns the count or -1.
    int64_t readAt(uint64_t offset, uint8_t *dst, size_t n) const;

private:
    bool readHeader(uint64_t at, std::string &header, BlockHeader &block);
    // Reads all `n` bytes at `offset`, across the pieces.
    bool readBytes(uint64_t offset, void *dst, size_t n) const;

    struct Piece {
        base::UniqueFd fd;
        uint64_t size = 0;
    };
    std::vector<Piece> pieces_;
    uint64_t size_ = 0;
    uint64_t pos_ = 0;
    uint64_t dataOffset_ = 0;
    uint64_t dataSize_ = 0;
    uint16_t mainFlags_ = 0;
    uint16_t endFlags_ = 0;
    bool sawEnd_ = false;
};

// Offset of the signature within the first MiB of the file, if any.
std::optional<uint64_t> findSignature(int fd, uint64_t fileSize);

} // namespace qvo::formats::rar::rar4
