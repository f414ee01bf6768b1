// libarchive reads an archive through a list of pieces (stretches of the
// file and replacement bytes) as if it were one file.
#pragma once
#include "formats/rar/rar5_header_cleanup.h"
#include "base/unique_fd.h"

#include <cstdint>
#include <filesystem>
#include <vector>

struct archive;

namespace qvo::formats::shared {

class PieceSource {
public:
    PieceSource() = default;
    PieceSource(const PieceSource &) = delete;
    PieceSource &operator=(const PieceSource &) = delete;

    // Opens `a` on the pieces; libarchive's result code.  The source must
    // outlive the archive handle.
    int open(archive *a, const std::filesystem::path &path, std::vector<rar::ArchivePiece> pieces);

    // The callbacks' work, in positions of the pieced-together stream.
    int64_t read(const void **buffer);
    int64_t seek(int64_t offset, int whence);

private:
    base::UniqueFd fd_;
    std::vector<rar::ArchivePiece> pieces_;
    std::vector<uint64_t> starts_; // stream position of each piece
    uint64_t total_ = 0;
    uint64_t pos_ = 0;
    std::vector<char> buffer_;
};

} // namespace qvo::formats::shared
