// File members: created in place (as a temporary file, or under the final
// name in a private empty destination), written, and put under their name
// with their mode and time once the reader says the data was good.
#include "extract/extract_sink_impl.h"

#include "platform/temporary_file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::extract {

int32_t ExtractSink::Impl::beginFile(const MemberInfo &m, PathComponents path)
{
    if (path.empty())
        return archivers::kErrUnsafeEntry;
    if (!options.restorePaths)
        path = {path.back()};
    int32_t err;
    const int dir = folderForNewEntry(path, err);
    if (dir < 0)
        return err;
    const std::string &name = path.back();
    OpenFile f;
    f.dir = dir;
    f.finalName = name;
    f.info = m;
    if (handsOver(m)) {
        holdCachedFolder();
        f.handed = true;
        f.folder = cachedFolder;
        f.data.reserve(static_cast<size_t>(*m.size));
        file = std::move(f);
        return archivers::kOk;
    }
    if (directCreate) {
        // Nobody else sees this folder: the file can carry its final
        // permissions from the start (the open descriptor writes even
        // when they are read-only), unless the umask would take away
        // the owner's read permission that packing needs.
        const bool modeSet = !(umaskBits & S_IRUSR);
        const mode_t mode = modeSet ? finalFileMode(m.unixMode) : 0600;
        int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            f.fd.reset(fd);
            f.tempName = name;
            f.direct = true;
            f.modeSet = modeSet;
            file = std::move(f);
            return archivers::kOk;
        }
        if (errno != EEXIST) {
            stopped = stopped || isSpaceError(errno);
            return archivers::kErrWrite;
        }
        // Taken by a folder of this call: refused below like anywhere else.
    }
    if (nameIsKept(dir, name))
        return archivers::kErrExists;

    // Without a name until the data is good (or hidden and locked where the
    // file system cannot do that): a killed run leaves nothing here.
    platform::TemporaryFile temp = platform::createTemporaryFile(dir, "", "part", 0600);
    if (!temp.fd) {
        stopped = stopped || isSpaceError(errno);
        return archivers::kErrWrite;
    }
    f.fd = std::move(temp.fd);
    f.tempName = std::move(temp.name);
    file = std::move(f);
    return archivers::kOk;
}

int32_t ExtractSink::Impl::write(const void *data, size_t size)
{
    if (!file)
        return lastResult != archivers::kOk ? lastResult : (size == 0 ? archivers::kOk : archivers::kErrInternal);
    if (size == 0)
        return archivers::kOk;
    // A handed-over file has no descriptor yet; the destination's stands
    // for its volume.
    if (!space.roomFor(file->handed ? root.get() : file->fd.get(), size)) {
        stopped = true;
        abandonFile(archivers::kErrSpaceLimit);
        return archivers::kErrSpaceLimit;
    }
    const char *p = static_cast<const char *>(data);
    if (file->handed) {
        // More than declared fails the member anyway: no need to hold it.
        if (file->data.size() + size > *file->info.size) {
            abandonFile(archivers::kErrCorrupt);
            return archivers::kErrCorrupt;
        }
        file->data.insert(file->data.end(), p, p + size);
        file->written += size;
        space.wrote(size);
        return archivers::kOk;
    }
    size_t left = size;
    while (left > 0) {
        ssize_t n = ::write(file->fd.get(), p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (isSpaceError(errno))
                stopped = true;
            abandonFile(archivers::kErrWrite);
            return archivers::kErrWrite;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    file->written += size;
    space.wrote(size);
    return archivers::kOk;
}

int32_t ExtractSink::Impl::end(bool dataOk, int32_t failure)
{
    if (failure == archivers::kOk)
        failure = archivers::kErrCorrupt;
    if (!file) {
        // Folders and links are done at beginMember(); a refused member
        // keeps its refusal.  A reader reporting bad data for a link
        // cancels that link.
        if (lastResult == archivers::kOk && !dataOk) {
            if (!links.empty() && lastWasLink)
                links.pop_back();
            lastResult = failure;
            fail(failure);
        }
        return lastResult;
    }
    if (!dataOk) {
        abandonFile(failure);
        return failure;
    }
    if (file->info.size && *file->info.size != file->written) {
        abandonFile(archivers::kErrCorrupt);
        return archivers::kErrCorrupt;
    }
    if (file->handed)
        return handOver();
    int fd = file->fd.get();
    if (!file->modeSet)
        ::fchmod(fd, finalFileMode(file->info.unixMode));
    if (file->info.mtimeSec) {
        timespec times[2] = {{0, UTIME_OMIT},
                             toTimespec(*file->info.mtimeSec, file->info.mtimeNsec)};
        ::futimens(fd, times);
    }
    if (!file->direct && file->tempName.empty()) {
        if (int32_t placed = placeUnnamedFile(); placed != archivers::kOk) {
            abandonFile(placed);
            return placed;
        }
    }
    if (::close(file->fd.release()) != 0) {
        if (isSpaceError(errno))
            stopped = true;
        abandonFile(archivers::kErrWrite);
        return archivers::kErrWrite;
    }
    if (!file->direct) {
        if (int32_t placed = placeEntry(file->dir, file->tempName, file->finalName); placed != archivers::kOk) {
            abandonFile(placed);
            return placed;
        }
    }
    file.reset();
    lastResult = archivers::kOk;
    return archivers::kOk;
}

// Drops the open file member: its temporary file goes, nothing remains.
void ExtractSink::Impl::abandonFile(int32_t code)
{
    if (!file)
        return;
    if (!file->handed) { // a handed-over file was never created
        file->fd.reset();
        if (!file->tempName.empty())
            ::unlinkat(file->dir, file->tempName.c_str(), 0);
    }
    file.reset();
    lastResult = code;
    fail(code);
}

// Moves a finished temporary entry to its name; without overwriting, a
// name that appeared meanwhile is kept.
int32_t ExtractSink::Impl::placeEntry(int dir, const std::string &from, const std::string &to)
{
    if (!options.overwrite) {
        if (::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) == 0)
            return archivers::kOk;
        if (errno == EEXIST)
            return archivers::kErrExists;
        if (errno != EINVAL && errno != ENOSYS)
            return archivers::kErrWrite;
        // The file system cannot refuse replacing by itself.
        if (entryAt(dir, to) != 0)
            return archivers::kErrExists;
    }
    if (::renameat(dir, from.c_str(), dir, to.c_str()) == 0)
        return archivers::kOk;
    return (errno == EISDIR || errno == ENOTEMPTY || errno == EEXIST) ? archivers::kErrExists : archivers::kErrWrite;
}

// Names a file member made without a name, while it is still open: its
// final name when nothing may be replaced (a name taken meanwhile is kept),
// else a temporary name moved over the entry there as placeEntry() does.
// It then stands under its final name like a member created there.
int32_t ExtractSink::Impl::placeUnnamedFile()
{
    OpenFile &f = *file;
    if (!options.overwrite) {
        if (!platform::linkUnnamedFile(f.fd.get(), f.dir, f.finalName)) {
            if (errno == EEXIST)
                return archivers::kErrExists;
            stopped = stopped || isSpaceError(errno);
            return archivers::kErrWrite;
        }
    } else {
        const std::string temp = platform::linkUnnamedFileAsTemporary(f.fd.get(), f.dir, "", "part");
        if (temp.empty())
            return archivers::kErrWrite;
        if (int32_t placed = placeEntry(f.dir, temp, f.finalName); placed != archivers::kOk) {
            ::unlinkat(f.dir, temp.c_str(), 0);
            return placed;
        }
    }
    f.tempName = f.finalName;
    f.direct = true;
    return archivers::kOk;
}

std::string ExtractSink::Impl::nextTempName(const char *suffix)
{
    char temp[64];
    std::snprintf(temp, sizeof temp, ".qvo-%ld-%u.%s", static_cast<long>(::getpid()),
                  tempCounter++, suffix);
    return temp;
}

// What stands at a name: 0 nothing, else the st_mode of the entry.
mode_t ExtractSink::Impl::entryAt(int dirFd, const std::string &name)
{
    struct stat st;
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    return st.st_mode;
}

// Whether what stands at `name` must stay: a folder is never replaced by
// a file or a link, anything else only when overwriting is on.
bool ExtractSink::Impl::nameIsKept(int dirFd, const std::string &name) const
{
    mode_t existing = entryAt(dirFd, name);
    return existing != 0 && (S_ISDIR(existing) || !options.overwrite);
}

} // namespace qvo::extract
