#include "extract/folder_attributes.h"

#include "extract/disk_entries.h"
#include "extract/folder_walk.h"

#include <algorithm>
#include <sys/stat.h>
#include <vector>

namespace qvo::extract {

void FolderAttributes::made(const PathComponents &path)
{
    State &state = folders_[joinComponents(path)];
    state.path = path;
    state.created = true;
}

void FolderAttributes::named(const PathComponents &path, const MemberInfo &member)
{
    State &state = folders_[joinComponents(path)];
    state.path = path;
    state.named = true;
    state.mtimeSec = member.mtimeSec;
    state.mtimeNsec = member.mtimeNsec;
    state.unixMode = member.unixMode;
}

mode_t FolderAttributes::finalMode(const std::optional<uint32_t> &mode) const
{
    mode_t bits = mode ? static_cast<mode_t>(*mode) & 0777 : 0777;
    // Owner read and search stay: the folder's contents must be packable.
    return (bits & ~umaskBits_) | S_IRUSR | S_IXUSR;
}

void FolderAttributes::apply(FolderWalk &walk) const
{
    std::vector<const State *> order;
    for (const auto &[key, state] : folders_)
        order.push_back(&state);
    std::stable_sort(order.begin(), order.end(), [](const auto *a, const auto *b) {
        return a->path.size() > b->path.size();
    });
    for (const State *state : order) {
        int32_t err;
        base::UniqueFd fd = walk.open(state->path, state->path.size(), false, err);
        if (!fd)
            continue;
        if (state->created || (state->named && state->unixMode))
            ::fchmod(fd.get(), finalMode(state->named ? state->unixMode : std::nullopt));
        if (state->named && state->mtimeSec) {
            timespec times[2] = {{0, UTIME_OMIT}, toTimespec(*state->mtimeSec, state->mtimeNsec)};
            ::futimens(fd.get(), times);
        }
    }
}

} // namespace qvo::extract
