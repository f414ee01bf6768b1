#include "extract/extract_sink.h"

#include "extract/file_writer_thread.h"
#include "extract/link_check.h"
#include "extract/member_path.h"
#include "base/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <string_view>
#include <system_error>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <unordered_set>
#include <utility>
#include <vector>

namespace qvo::archivers {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;
// Default free-space margin: the larger of this and kMarginPercent of the
// volume, but never more than half the volume so small volumes stay usable.
constexpr uint64_t kMinFreeMargin = 256 * kMiB;
constexpr uint64_t kMarginPercent = 2;
// How much may be written between two looks at the free space.
constexpr uint64_t kSpaceCheckInterval = 4 * kMiB;
// Longest member name or link target taken: nothing longer can be reached
// by a path afterwards.
constexpr size_t kMaxNameBytes = PATH_MAX - 1;
// Rounds of checking the made links again (see makeLinks).
constexpr int kMaxLinkRechecks = 16;

constexpr int kDirOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Files are handed to a writer thread once an extraction has shown this
// many members: archives of a few files never start one.
constexpr uint64_t kWriterAfterMembers = 8;

// The process umask, read without changing it where /proc allows.
mode_t currentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8)) & 0777;
    }
    mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Why a folder could not be opened without following links: a link stands
// there (refused, whatever it points to), something that is not a folder
// (the name is taken), or the system said no.
int32_t classifyOpenFailure(int dirFd, const std::string &name, int openErrno)
{
    struct stat st;
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(st.st_mode))
            return kErrUnsafeEntry; // never write through a link
        if (!S_ISDIR(st.st_mode))
            return kErrExists; // a folder is wanted where something else is
    }
    return openErrno == ELOOP ? kErrUnsafeEntry : kErrWrite;
}

bool isSpaceError(int err)
{
    return err == ENOSPC || err == EDQUOT;
}

// A folder only this user can enter and that holds nothing yet (a fresh
// working folder): nobody else can place, swap or watch names below it.
bool isPrivateEmptyFolder(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0)
        return false;
    int listFd = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return false;
    DIR *dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return false;
    }
    bool empty = true;
    while (dirent *e = ::readdir(dir)) {
        if (std::string_view(e->d_name) != "." && std::string_view(e->d_name) != "..") {
            empty = false;
            break;
        }
    }
    ::closedir(dir);
    return empty;
}

timespec toTimespec(int64_t sec, uint32_t nsec)
{
    timespec t{};
    t.tv_sec = static_cast<time_t>(sec);
    t.tv_nsec = nsec < 1000000000u ? static_cast<long>(nsec) : 0;
    return t;
}

} // namespace

struct ExtractSink::Impl {
    // What finish() does to a folder: the time and mode of its member, or
    // just the final mode of a folder made on the way.
    struct FolderState {
        PathComponents path;
        bool created = false; // made by this sink (with owner rwx kept)
        bool named = false;   // a folder member named it
        std::optional<int64_t> mtimeSec;
        uint32_t mtimeNsec = 0;
        std::optional<uint32_t> unixMode;
    };
    struct PendingLink {
        PathComponents path; // the link itself
        std::string target;
        std::optional<int64_t> mtimeSec;
        uint32_t mtimeNsec = 0;
    };
    struct OpenFile {
        int dir = -1; // borrowed from the folder cache, which stays put meanwhile
        base::UniqueFd fd;
        // Handed over: the data is gathered here and the writer thread
        // creates the file (in `folder`, under `finalName`) at the end.
        bool handed = false;
        std::shared_ptr<const base::UniqueFd> folder;
        std::vector<uint8_t> data;
        std::string key; // the member's path, as in madeFiles
        std::string tempName; // the name written; the final name when `direct`
        std::string finalName;
        bool direct = false;  // created under its final name
        bool modeSet = false; // created with its final permissions
        uint64_t written = 0;
        MemberInfo info;
    };

    ExtractOptions options;
    mode_t umaskBits = 022;
    base::UniqueFd root;
    int32_t firstFailure = kOk;
    uint64_t firstFailureMember = UINT64_MAX;
    uint64_t member = 0; // sequence number of the member begun last
    int32_t lastResult = kOk; // of the member begun last
    bool lastWasLink = false; // ... and it was a link, now pending
    bool stopped = false;
    bool finished = false;
    uint64_t totalWritten = 0;
    uint64_t spaceAllowance = 0; // bytes that may be written before the next look
    unsigned tempCounter = 0;
    // Files are created under their final names (no temporary name and
    // rename) when the destination was private and empty at the start:
    // there is nothing to protect there and nobody else to see a partial file.
    bool directCreate = false;

    std::optional<OpenFile> file;
    std::map<std::string, FolderState> folders;
    std::vector<PendingLink> links;
    std::unordered_set<std::string> flatNames; // names made in flat mode

    // One folder fd kept open: archives list most members of a folder
    // together.  Files waiting for the writer thread keep theirs open.
    std::string cachedFolderKey;
    std::shared_ptr<const base::UniqueFd> cachedFolder;

    // Small files of a private destination are created by a writer thread
    // (see FileWriterThread).  Only files go there, and only under names
    // that nothing else in the folder can hold (the folder was empty and is
    // private): every name handed over is remembered, and anything that
    // meets one of them (the same name again, a folder or a link there)
    // waits until the writer is done before looking at the folder.  Only
    // fresh names are handed over: a name this sink made before in place
    // is decided in place too, as anywhere else.
    std::unique_ptr<FileWriterThread> writer;
    bool writerUnavailable = false;
    std::unordered_set<std::string> madeFiles; // files and hard links made or handed over (private destination only)

    // The failure of the earliest member is the one reported.
    void fail(int32_t code) { failAt(member, code); }
    void failAt(uint64_t memberNumber, int32_t code)
    {
        if (code != kOk && memberNumber < firstFailureMember) {
            firstFailure = code;
            firstFailureMember = memberNumber;
        }
    }

    bool isStopped() const { return stopped || (writer && writer->outOfSpace()); }

    // Waits until every handed-over file is on disk or failed.
    void flushWriter()
    {
        if (!writer)
            return;
        writer->flush();
        for (const FileWriterThread::Failure &f : writer->takeFailures())
            failAt(f.sequence, f.code);
        stopped = stopped || writer->outOfSpace();
    }

    bool madeFile(const PathComponents &path, size_t count) const
    {
        return !madeFiles.empty() && madeFiles.count(joinComponents(path, count)) != 0;
    }

    // Whether this file member goes to the writer thread.
    bool handsOver(const MemberInfo &m)
    {
        if (!directCreate || member <= kWriterAfterMembers || !m.size || *m.size > FileWriterThread::kMaxFileSize
            || (umaskBits & S_IRUSR) || writerUnavailable)
            return false;
        if (!writer) {
            try {
                if (FileWriterThread::usable())
                    writer = std::make_unique<FileWriterThread>();
            } catch (const std::system_error &) {
            }
            writerUnavailable = !writer;
        }
        return writer != nullptr;
    }

    mode_t workingFolderMode() const { return (0777 & ~umaskBits) | S_IRWXU; }
    mode_t finalFolderMode(const std::optional<uint32_t> &m) const
    {
        mode_t bits = m ? static_cast<mode_t>(*m) & 0777 : 0777;
        // Owner read and search stay: the folder's contents must be packable.
        return (bits & ~umaskBits) | S_IRUSR | S_IXUSR;
    }
    mode_t finalFileMode(const std::optional<uint32_t> &m) const
    {
        mode_t bits = m ? static_cast<mode_t>(*m) & 0777 : 0666;
        return (bits & ~umaskBits) | S_IRUSR;
    }

    // Opens the folder made of the first `count` components below the
    // destination, one component at a time and never following a link.
    // With `create`, missing folders are made.  On failure `err` says why.
    base::UniqueFd openFolder(const PathComponents &path, size_t count, bool create, int32_t &err)
    {
        base::UniqueFd cur(::fcntl(root.get(), F_DUPFD_CLOEXEC, 0));
        if (!cur) {
            err = kErrInternal;
            return {};
        }
        for (size_t i = 0; i < count; ++i) {
            const std::string &name = path[i];
            int fd = ::openat(cur.get(), name.c_str(), kDirOpenFlags);
            if (fd < 0 && errno == ENOENT && create && madeFile(path, i + 1)) {
                flushWriter(); // a file is about to appear there
                fd = ::openat(cur.get(), name.c_str(), kDirOpenFlags);
            }
            if (fd < 0 && errno == ENOENT && create) {
                if (::mkdirat(cur.get(), name.c_str(), workingFolderMode()) == 0) {
                    PathComponents made(path.begin(), path.begin() + static_cast<long>(i) + 1);
                    auto &state = folders[joinComponents(made)];
                    state.path = std::move(made);
                    state.created = true;
                } else if (errno != EEXIST) {
                    stopped = stopped || isSpaceError(errno);
                    err = kErrWrite;
                    return {};
                }
                fd = ::openat(cur.get(), name.c_str(), kDirOpenFlags);
                if (fd >= 0 && (umaskBits & S_IRWXU))
                    ::fchmod(fd, workingFolderMode());
            }
            if (fd < 0) {
                err = classifyOpenFailure(cur.get(), name, errno);
                return {};
            }
            cur.reset(fd);
        }
        err = kOk;
        return cur;
    }

    // The folder holding a member, through the one-entry cache; the
    // descriptor stays owned by the cache and valid until the next call.
    int parentFolder(const PathComponents &path, bool create, int32_t &err)
    {
        size_t count = path.empty() ? 0 : path.size() - 1;
        std::string key = joinComponents(path, count);
        if (!cachedFolder || key != cachedFolderKey) {
            cachedFolder.reset();
            base::UniqueFd fd = openFolder(path, count, create, err);
            if (!fd)
                return -1;
            cachedFolder = std::make_shared<const base::UniqueFd>(std::move(fd));
            cachedFolderKey = std::move(key);
        }
        err = kOk;
        return cachedFolder->get();
    }

    // What stands at a name: 0 nothing, else the st_mode of the entry.
    static mode_t entryAt(int dirFd, const std::string &name)
    {
        struct stat st;
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return 0;
        return st.st_mode;
    }

    // A flat-mode name may be made once per call: a second member of that
    // name would silently replace the first.
    int32_t claimFlatName(const PathComponents &path)
    {
        if (options.restorePaths)
            return kOk;
        if (!flatNames.insert(path.back()).second)
            return kErrNameClash;
        return kOk;
    }

    int32_t beginFolder(const MemberInfo &m, const PathComponents &path)
    {
        if (!options.restorePaths || path.empty())
            return kOk; // flat mode makes no folders; "." is the destination
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
        return kOk;
    }

    int32_t beginFile(const MemberInfo &m, PathComponents path)
    {
        if (path.empty())
            return kErrUnsafeEntry;
        if (!options.restorePaths)
            path = {path.back()};
        int32_t err;
        const int dir = parentFolder(path, true, err);
        if (dir < 0)
            return err;
        if (int32_t clash = claimFlatName(path); clash != kOk)
            return clash;
        const std::string &name = path.back();
        OpenFile f;
        f.dir = dir;
        f.finalName = name;
        f.info = m;
        // The member's path, as madeFiles knows names (private destination only).
        std::string key = directCreate ? joinComponents(path) : std::string();
        if (directCreate && madeFiles.count(key) != 0)
            flushWriter(); // the same name again: decided below with the first one on disk
        else if (handsOver(m)) {
            f.handed = true;
            f.folder = cachedFolder;
            f.data.reserve(static_cast<size_t>(*m.size));
            madeFiles.insert(key);
            f.key = std::move(key);
            file = std::move(f);
            return kOk;
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
                madeFiles.insert(std::move(key));
                return kOk;
            }
            if (errno != EEXIST) {
                stopped = stopped || isSpaceError(errno);
                return kErrWrite;
            }
            // Taken (a member named twice): decided below like anywhere else.
        }
        mode_t existing = entryAt(dir, name);
        if (existing != 0 && (S_ISDIR(existing) || !options.overwrite))
            return kErrExists;

        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string temp = nextTempName("part");
            int fd = ::openat(dir, temp.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd >= 0) {
                f.fd.reset(fd);
                f.tempName = temp;
                break;
            }
            if (errno != EEXIST) {
                stopped = stopped || isSpaceError(errno);
                return kErrWrite;
            }
        }
        if (!f.fd)
            return kErrWrite;
        file = std::move(f);
        return kOk;
    }

    int32_t beginLink(const MemberInfo &m, PathComponents path)
    {
        if (path.empty())
            return kErrUnsafeEntry;
        flushWriter();
        if (!options.restorePaths)
            path = {path.back()};
        PathComponents base(path.begin(), path.end() - 1);
        PathComponents resolved;
        if (!resolveLinkTargetLexically(base, m.linkTarget, resolved))
            return kErrUnsafeEntry;
        int32_t err;
        const int dir = parentFolder(path, true, err);
        if (dir < 0)
            return err;
        if (int32_t clash = claimFlatName(path); clash != kOk)
            return clash;
        mode_t existing = entryAt(dir, path.back());
        if (existing != 0 && (S_ISDIR(existing) || !options.overwrite))
            return kErrExists;
        std::string target = m.linkTarget;
        std::replace(target.begin(), target.end(), '\\', '/');
        links.push_back({std::move(path), std::move(target), m.mtimeSec, m.mtimeNsec});
        return kOk;
    }

    int32_t begin(const MemberInfo &m)
    {
        if (isStopped())
            return kErrSpaceLimit;
        if (m.isDeviceOrFifo)
            return kErrUnsafeEntry;
        PathComponents path;
        if (!splitMemberName(m.name, path))
            return kErrUnsafeEntry;
        if (m.name.size() > kMaxNameBytes || m.linkTarget.size() > kMaxNameBytes)
            return kErrWrite;
        switch (m.kind) {
        case MemberInfo::Kind::Directory: return beginFolder(m, path);
        case MemberInfo::Kind::File: return beginFile(m, std::move(path));
        case MemberInfo::Kind::Symlink: return beginLink(m, std::move(path));
        case MemberInfo::Kind::Hardlink: return makeHardlink(m, std::move(path));
        }
        return kErrInternal;
    }

    // Drops the open file member: its temporary file goes, nothing remains.
    void abandonFile(int32_t code)
    {
        if (!file)
            return;
        if (file->handed)
            madeFiles.erase(file->key); // nothing was created
        else {
            file->fd.reset();
            ::unlinkat(file->dir, file->tempName.c_str(), 0);
        }
        file.reset();
        lastResult = code;
        fail(code);
    }

    // Whether `size` more bytes may be written: the test limit on the total,
    // and the free-space margin of the volume, looked at every few MiB.
    bool roomFor(uint64_t size)
    {
        if (options.maxTotalBytes && totalWritten + size > *options.maxTotalBytes)
            return false;
        if (size <= spaceAllowance) {
            spaceAllowance -= size;
            return true;
        }
        struct statvfs vfs;
        if (::fstatvfs(file->handed ? root.get() : file->fd.get(), &vfs) != 0)
            return true; // cannot tell; the write itself reports a full volume
        uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
        uint64_t avail = static_cast<uint64_t>(vfs.f_bavail) * unit;
        uint64_t margin = options.freeSpaceMargin;
        if (margin == 0) {
            uint64_t volume = static_cast<uint64_t>(vfs.f_blocks) * unit;
            margin = std::min(std::max(kMinFreeMargin, volume / 100 * kMarginPercent), volume / 2);
        }
        if (avail <= margin || avail - margin < size)
            return false;
        spaceAllowance = std::min(avail - margin, std::max(size, kSpaceCheckInterval)) - size;
        return true;
    }

    int32_t write(const void *data, size_t size)
    {
        if (!file)
            return lastResult != kOk ? lastResult : (size == 0 ? kOk : kErrInternal);
        if (size == 0)
            return kOk;
        if (!roomFor(size)) {
            stopped = true;
            abandonFile(kErrSpaceLimit);
            return kErrSpaceLimit;
        }
        const char *p = static_cast<const char *>(data);
        if (file->handed) {
            // More than declared fails the member anyway: no need to hold it.
            if (file->data.size() + size > *file->info.size) {
                abandonFile(kErrCorrupt);
                return kErrCorrupt;
            }
            file->data.insert(file->data.end(), p, p + size);
            file->written += size;
            totalWritten += size;
            return kOk;
        }
        size_t left = size;
        while (left > 0) {
            ssize_t n = ::write(file->fd.get(), p, left);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (isSpaceError(errno))
                    stopped = true;
                abandonFile(kErrWrite);
                return kErrWrite;
            }
            p += n;
            left -= static_cast<size_t>(n);
        }
        file->written += size;
        totalWritten += size;
        return kOk;
    }

    // Moves a finished temporary entry to its name; without overwriting, a
    // name that appeared meanwhile is kept.
    int32_t placeEntry(int dir, const std::string &from, const std::string &to)
    {
        if (!options.overwrite) {
            if (::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) == 0)
                return kOk;
            if (errno == EEXIST)
                return kErrExists;
            if (errno != EINVAL && errno != ENOSYS)
                return kErrWrite;
            // The file system cannot refuse replacing by itself.
            if (entryAt(dir, to) != 0)
                return kErrExists;
        }
        if (::renameat(dir, from.c_str(), dir, to.c_str()) == 0)
            return kOk;
        return (errno == EISDIR || errno == ENOTEMPTY || errno == EEXIST) ? kErrExists : kErrWrite;
    }

    std::string nextTempName(const char *suffix)
    {
        char temp[64];
        std::snprintf(temp, sizeof temp, ".qvo-%ld-%u.%s", static_cast<long>(::getpid()),
                      tempCounter++, suffix);
        return temp;
    }

    // A hard link names a file extracted before; it gets a second name here
    // (never one outside: both names are reached without following links).
    int32_t makeHardlink(const MemberInfo &m, PathComponents path)
    {
        if (path.empty())
            return kErrUnsafeEntry;
        flushWriter(); // the file it names may still be waiting
        PathComponents source;
        if (!splitMemberName(m.linkTarget, source) || source.empty())
            return kErrUnsafeEntry;
        if (!options.restorePaths) {
            path = {path.back()};
            source = {source.back()};
        }
        int32_t err;
        base::UniqueFd sourceDir = openFolder(source, source.size() - 1, false, err);
        if (!sourceDir)
            return err == kErrUnsafeEntry ? err : kErrCorrupt;
        mode_t kind = entryAt(sourceDir.get(), source.back());
        if (kind == 0)
            return kErrCorrupt; // the archive names a member it does not hold
        if (!S_ISREG(kind))
            return kErrUnsafeEntry;
        const int dir = parentFolder(path, true, err);
        if (dir < 0)
            return err;
        if (int32_t clash = claimFlatName(path); clash != kOk)
            return clash;
        mode_t existing = entryAt(dir, path.back());
        if (existing != 0 && (S_ISDIR(existing) || !options.overwrite))
            return kErrExists;
        std::string temp = nextTempName("link");
        if (::linkat(sourceDir.get(), source.back().c_str(), dir, temp.c_str(), 0) != 0)
            return kErrWrite;
        int32_t placed = placeEntry(dir, temp, path.back());
        if (placed != kOk)
            ::unlinkat(dir, temp.c_str(), 0);
        else if (directCreate)
            madeFiles.insert(joinComponents(path));
        return placed;
    }

    int32_t end(bool dataOk, int32_t failure)
    {
        if (failure == kOk)
            failure = kErrCorrupt;
        if (!file) {
            // Folders and links are done at beginMember(); a refused member
            // keeps its refusal.  A reader reporting bad data for a link
            // cancels that link.
            if (lastResult == kOk && !dataOk) {
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
            abandonFile(kErrCorrupt);
            return kErrCorrupt;
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
        if (::close(file->fd.release()) != 0) {
            if (isSpaceError(errno))
                stopped = true;
            abandonFile(kErrWrite);
            return kErrWrite;
        }
        if (!file->direct) {
            if (int32_t placed = placeEntry(file->dir, file->tempName, file->finalName); placed != kOk) {
                abandonFile(placed);
                return placed;
            }
        }
        file.reset();
        lastResult = kOk;
        return kOk;
    }

    int32_t handOver()
    {
        FileWriterThread::File f;
        f.folder = std::move(file->folder);
        f.name = file->finalName;
        f.data = std::move(file->data);
        f.mode = finalFileMode(file->info.unixMode);
        if (file->info.mtimeSec)
            f.mtime = toTimespec(*file->info.mtimeSec, file->info.mtimeNsec);
        f.sequence = member;
        file.reset();
        if (!writer->submit(std::move(f))) {
            lastResult = kErrWrite;
            fail(kErrWrite);
            return kErrWrite;
        }
        lastResult = kOk;
        return kOk;
    }

    // --- links -------------------------------------------------------------

    int32_t makeLink(const PendingLink &link)
    {
        if (!linkStaysInside(root.get(), parentOf(link.path), link.target))
            return kErrUnsafeEntry;
        int32_t err;
        base::UniqueFd dir = openFolder(link.path, link.path.size() - 1, false, err);
        if (!dir)
            return err;
        const std::string &name = link.path.back();
        mode_t existing = entryAt(dir.get(), name);
        if (existing != 0 && (S_ISDIR(existing) || !options.overwrite))
            return kErrExists;
        if (existing == 0) {
            if (::symlinkat(link.target.c_str(), dir.get(), name.c_str()) != 0)
                return errno == EEXIST ? kErrExists : kErrWrite;
        } else {
            std::string temp = nextTempName("symlink");
            if (::symlinkat(link.target.c_str(), dir.get(), temp.c_str()) != 0)
                return kErrWrite;
            if (::renameat(dir.get(), temp.c_str(), dir.get(), name.c_str()) != 0) {
                ::unlinkat(dir.get(), temp.c_str(), 0);
                return kErrWrite;
            }
        }
        if (link.mtimeSec) {
            timespec times[2] = {{0, UTIME_OMIT}, toTimespec(*link.mtimeSec, link.mtimeNsec)};
            ::utimensat(dir.get(), name.c_str(), times, AT_SYMLINK_NOFOLLOW);
        }
        return kOk;
    }

    void makeLinks()
    {
        std::vector<const PendingLink *> made;
        for (const PendingLink &link : links) {
            int32_t r = makeLink(link);
            if (r == kOk)
                made.push_back(&link);
            else
                fail(r);
        }
        // A link made later can change where an earlier one leads (a missing
        // name that became a link): check them all again until none moves
        // out.  Should that not settle, none of them is trusted.
        for (int round = 0; round < kMaxLinkRechecks; ++round) {
            bool removed = false;
            for (auto &link : made) {
                if (link && !linkStaysInside(root.get(), parentOf(link->path), link->target)) {
                    removeLink(*link);
                    link = nullptr;
                    removed = true;
                }
            }
            if (!removed)
                return;
        }
        for (auto &link : made) {
            if (link)
                removeLink(*link);
        }
    }

    void removeLink(const PendingLink &link)
    {
        int32_t err;
        base::UniqueFd dir = openFolder(link.path, link.path.size() - 1, false, err);
        if (dir)
            ::unlinkat(dir.get(), link.path.back().c_str(), 0);
        fail(kErrUnsafeEntry);
    }

    static PathComponents parentOf(const PathComponents &path)
    {
        return PathComponents(path.begin(), path.end() - 1);
    }

    // Folder modes and times last, deepest first: writing into a folder
    // changes its time, and a read-only parent would stop the children.
    void applyFolderAttributes()
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
};

ExtractSink::ExtractSink(ExtractOptions options) : impl_(std::make_unique<Impl>())
{
    impl_->options = std::move(options);
    impl_->umaskBits = currentUmask();
    impl_->root.reset(::open(impl_->options.destination.c_str(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!impl_->root)
        impl_->fail(kErrWrite);
    else
        impl_->directCreate = isPrivateEmptyFolder(impl_->root.get());
}

ExtractSink::~ExtractSink()
{
    if (impl_)
        impl_->abandonFile(kErrInternal);
}

int32_t ExtractSink::beginMember(const MemberInfo &member)
{
    Impl &d = *impl_;
    if (d.file)
        d.abandonFile(kErrInternal); // the reader never ended the last one
    d.lastWasLink = false;
    ++d.member;
    int32_t r;
    if (!d.root)
        r = kErrWrite;
    else if (d.finished)
        r = kErrInternal;
    else
        r = d.begin(member);
    d.lastWasLink = r == kOk && member.kind == MemberInfo::Kind::Symlink;
    d.lastResult = r;
    d.fail(r);
    return r;
}

int32_t ExtractSink::write(const void *data, size_t size)
{
    return impl_->write(data, size);
}

int32_t ExtractSink::endMember(bool dataOk, int32_t failure)
{
    return impl_->end(dataOk, failure);
}

int32_t ExtractSink::finish()
{
    Impl &d = *impl_;
    if (d.file)
        d.abandonFile(kErrInternal);
    d.flushWriter();
    if (!d.finished && d.root) {
        d.finished = true;
        d.cachedFolder.reset();
        d.makeLinks();
        d.applyFolderAttributes();
    }
    return d.firstFailure;
}

void ExtractSink::recordFailure(int32_t code)
{
    impl_->fail(code == kOk ? kErrInternal : code);
}

bool ExtractSink::stopped() const
{
    return impl_->isStopped();
}

} // namespace qvo::archivers
