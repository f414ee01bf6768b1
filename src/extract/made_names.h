// The names of the files, hard links and symbolic links one extraction has
// made, handed over or keeps for finish(): within one archive a second
// member of a name would replace the first and lose it, so each name is
// claimed once, whatever overwriting says (which is about what the
// destination held before).  Folders are not here: a folder named twice
// loses nothing, and anything else meets a folder on the disk.
#pragma once
#include "extract/member_path.h"

#include <string>
#include <unordered_set>

namespace qvo::extract {

class MadeNames {
public:
    // True the first time `path` is claimed.
    bool claim(const PathComponents &path) { return names_.insert(joinComponents(path)).second; }
    // Whether the first `count` components of `path` name something claimed.
    bool holds(const PathComponents &path, size_t count) const
    {
        return names_.count(joinComponents(path, count)) != 0;
    }

private:
    std::unordered_set<std::string> names_;
};

} // namespace qvo::extract
