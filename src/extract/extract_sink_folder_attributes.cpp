// Folder members are made at once; their modes and times, and the final
// modes of folders made on the way, are applied by finish().
#include "extract/extract_sink_impl.h"

#include <algorithm>
#include <sys/stat.h>

namespace qvo::extract {

int32_t ExtractSink::Impl::beginFolder(const MemberInfo &m, const PathComponents &path)
{
    if (!options.restorePaths || path.empty())
        return archivers::kOk; // flat mode makes no folders; "." is the destination
    int32_t err;
    base::UniqueFd fd = openFolder(path, path.size(), true, err);
    if (!fd)
        return err;
    auto &state = folders[joinComponents(path)];
    state.path = path;
    state.named = true;
    state.mtimeSec = m.mtimeSec;
    state.mtimeNsec = m.mtimeNsec;
    state.unixMode = m.unixMode;
    return archivers::kOk;
}

// Folder modes and times last, deepest first: writing into a folder
// changes its time, and a read-only parent would stop the children.
void ExtractSink::Impl::applyFolderAttributes()
{
    std::vector<const FolderState *> order;
    for (const auto &[key, state] : folders)
        order.push_back(&state);
    std::stable_sort(order.begin(), order.end(), [](const auto *a, const auto *b) {
        return a->path.size() > b->path.size();
    });
    for (const FolderState *state : order) {
        int32_t err;
        base::UniqueFd fd = openFolder(state->path, state->path.size(), false, err);
        if (!fd)
            continue;
        if (state->created || (state->named && state->unixMode))
            ::fchmod(fd.get(), finalFolderMode(state->named ? state->unixMode : std::nullopt));
        if (state->named && state->mtimeSec) {
            timespec times[2] = {{0, UTIME_OMIT},
                                 toTimespec(*state->mtimeSec, state->mtimeNsec)};
            ::futimens(fd.get(), times);
        }
    }
}

} // namespace qvo::extract
