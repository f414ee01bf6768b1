// The members handed over, listed as they come (ExtractOptions::
// listMembers): what a conversion's new archive must hold, whatever became
// of them on the disk.  Kept beside the extraction, so that checking a
// conversion never reads its source twice.
#pragma once
#include "extract/extract_sink.h"

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace qvo::extract {

class ListedMembers {
public:
    // `restorePaths` false: files and links go by their last component.
    explicit ListedMembers(bool restorePaths) : restorePaths_(restorePaths) {}

    // Lists a member as the archive names it (refused ones too).
    void add(const MemberInfo &member);
    // Data of the file member listed last; none for other members.
    void addData(const void *data, size_t size);
    // Links kept as data may lead anywhere: the list says which lead out of
    // the destination open as `root`, for a target that cannot hold them.
    void markLinksLeadingOutside(int root);

    const std::vector<ListedMember> &members() const { return listed_; }

private:
    const bool restorePaths_;
    std::vector<ListedMember> listed_;
    std::unordered_map<std::string, size_t> files_; // by name, for hard links
    std::optional<size_t> receivingData_;           // the file member whose data arrives
};

} // namespace qvo::extract
