// Symbolic links wait until every other member is written: a link made
// earlier could lead a later member out of the destination.  finish() then
// makes each only when it leads inside the destination (in a conversion's
// working folder, where links are data, as stored), and checks the made
// ones again, since a link made later can change where an earlier one leads.
#pragma once
#include "extract/member_path.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qvo::extract {

class FolderWalk;

class PendingLinks {
public:
    struct Link {
        PathComponents path; // the link itself
        std::string target;  // as stored, "\" turned into "/"
        std::optional<int64_t> mtimeSec;
        uint32_t mtimeNsec = 0;
    };

    void add(Link link) { links_.push_back(std::move(link)); }
    // The reader found the last link added damaged: it is not made.
    void dropLast()
    {
        if (!links_.empty())
            links_.pop_back();
    }

    // Makes the links below the destination open as `root`.  `asData`:
    // where they lead does not matter (a conversion's working folder).
    // Every link refused, failed or removed again is told to `fail`.
    void make(FolderWalk &walk, int root, bool asData, bool overwrite,
              const std::function<void(int32_t)> &fail) const;

private:
    static int32_t makeOne(FolderWalk &walk, int root, bool asData, bool overwrite, const Link &link);
    static void remove(FolderWalk &walk, const Link &link);

    std::vector<Link> links_;
};

} // namespace qvo::extract
