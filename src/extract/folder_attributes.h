// What finish() does to the folders: a folder member's mode and time, and
// the final mode of every folder made on the way, which stays writable for
// the owner until then.
#pragma once
#include "extract/extract_sink.h"
#include "extract/member_path.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>

namespace qvo::extract {

class FolderWalk;

class FolderAttributes {
public:
    explicit FolderAttributes(mode_t umaskBits) : umaskBits_(umaskBits) {}

    // The walk made the folder at `path`.
    void made(const PathComponents &path);
    // A folder member named the folder at `path`.
    void named(const PathComponents &path, const MemberInfo &member);
    // Gives every folder its mode and time, deepest first: writing into a
    // folder changes its time, and a read-only parent would stop the
    // children.
    void apply(FolderWalk &walk) const;

private:
    struct State {
        PathComponents path;
        bool created = false; // made by this sink (with owner rwx kept)
        bool named = false;   // a folder member named it
        std::optional<int64_t> mtimeSec;
        uint32_t mtimeNsec = 0;
        std::optional<uint32_t> unixMode;
    };

    mode_t finalMode(const std::optional<uint32_t> &mode) const;

    const mode_t umaskBits_;
    std::map<std::string, State> folders_;
};

} // namespace qvo::extract
