// The CRC-32 that RAR 5 file headers store, for checking what libarchive
// decodes: libarchive 3.6 hands out stored members without checking theirs.
#pragma once
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qvo::formats::rar {

class Rar5Checksums {
public:
    // Walks the file headers of the volumes, in order.  Empty for anything
    // that is not RAR 5 or whose headers are encrypted.
    // `start`: where the archive starts in the first volume (behind a
    // self-extractor's stub).
    static Rar5Checksums read(const std::vector<std::string> &volumes, uint64_t start = 0);

    // The checksum of the next member of this name (as libarchive names it:
    // "name;N" for an older version N), in archive order; none when the
    // header stores only another hash, or the name is unknown.
    std::optional<uint32_t> next(const std::string &name);

private:
    std::map<std::string, std::deque<std::optional<uint32_t>>> byName_;
};

} // namespace qvo::formats::rar
