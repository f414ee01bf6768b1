#include "extract/link_check.h"

#include "base/unique_fd.h"

#include <climits>
#include <deque>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace qvo::extract {
namespace {

// Links followed before giving up (the kernel's own limit).
constexpr int kMaxLinkHops = 40;
constexpr int kDirOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

void prependPieces(std::deque<std::string> &pending, std::string_view text)
{
    std::deque<std::string> pieces;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '/' || text[i] == '\\') {
            pieces.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    pending.insert(pending.begin(), pieces.begin(), pieces.end());
}

} // namespace

bool linkStaysInside(int rootFd, const PathComponents &base, std::string_view target)
{
    if (target.empty() || isAbsoluteOrDrive(target) || target.find('\0') != target.npos)
        return false;
    // `cur` is the folder made of the first `known` components of `at`; the
    // components past `known` were reached by text only.
    base::UniqueFd cur(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
    if (!cur)
        return false;
    for (const std::string &name : base) {
        base::UniqueFd next(::openat(cur.get(), name.c_str(), kDirOpenFlags));
        if (!next)
            return false;
        cur = std::move(next);
    }
    PathComponents at = base;
    size_t known = at.size();
    std::deque<std::string> pending;
    prependPieces(pending, target);
    int hops = 0;
    while (!pending.empty()) {
        std::string piece = std::move(pending.front());
        pending.pop_front();
        if (piece.empty() || piece == ".")
            continue;
        if (piece == "..") {
            if (at.empty())
                return false;
            at.pop_back();
            if (known > at.size()) {
                // The folders in `at` are real ones, so ".." is their parent.
                base::UniqueFd parent(::openat(cur.get(), "..", kDirOpenFlags));
                if (!parent)
                    return false;
                cur = std::move(parent);
                known = at.size();
            }
            continue;
        }
        at.push_back(piece);
        if (known + 1 != at.size())
            continue;
        struct stat st;
        if (::fstatat(cur.get(), piece.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // missing: what follows is text until it climbs back
        if (S_ISLNK(st.st_mode)) {
            char buf[PATH_MAX];
            ssize_t n = ::readlinkat(cur.get(), piece.c_str(), buf, sizeof buf);
            if (n <= 0 || static_cast<size_t>(n) >= sizeof buf || ++hops > kMaxLinkHops)
                return false;
            std::string_view next(buf, static_cast<size_t>(n));
            if (isAbsoluteOrDrive(next))
                return false;
            at.pop_back();
            prependPieces(pending, next);
        } else if (S_ISDIR(st.st_mode)) {
            base::UniqueFd next(::openat(cur.get(), piece.c_str(), kDirOpenFlags));
            if (!next)
                return false;
            cur = std::move(next);
            known = at.size();
        }
        // Anything else ends the physical walk; later text may climb back.
    }
    return true;
}

} // namespace qvo::extract
