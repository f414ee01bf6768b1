#include "extract/extract_sink.h"

#include "extract/extract_sink_impl.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace qvo::extract {
namespace {

// Longest member name or link target taken: nothing longer can be reached
// by a path afterwards.
constexpr size_t kMaxNameBytes = PATH_MAX - 1;

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

} // namespace

// A file or link name may be taken once per call: a second member of that
// name would replace the first, and the archive would lose a member.  The
// refusal keeps the code it had before overwriting was asked for (a name
// found taken); with overwriting, or flat, it is a clash of two members.
int32_t ExtractSink::Impl::claimName(const PathComponents &path)
{
    if (madeNames.insert(joinComponents(path)).second)
        return archivers::kOk;
    return options.overwrite || !options.restorePaths ? archivers::kErrNameClash : archivers::kErrExists;
}

// The folder (from the cache) where a new file or link at `path` is made,
// once its name is claimed; -1 with `err` set when it may not be made.
int ExtractSink::Impl::folderForNewEntry(const PathComponents &path, int32_t &err)
{
    const int dir = parentFolder(path, true, err);
    if (dir < 0)
        return -1;
    err = claimName(path);
    return err == archivers::kOk ? dir : -1;
}

int32_t ExtractSink::Impl::begin(const MemberInfo &m)
{
    if (isStopped())
        return archivers::kErrSpaceLimit;
    if (m.isDeviceOrFifo)
        return archivers::kErrUnsafeEntry;
    PathComponents path;
    if (!splitMemberName(m.name, path))
        return archivers::kErrUnsafeEntry;
    if (m.name.size() > kMaxNameBytes || m.linkTarget.size() > kMaxNameBytes)
        return archivers::kErrWrite;
    switch (m.kind) {
    case MemberInfo::Kind::Directory: return beginFolder(m, path);
    case MemberInfo::Kind::File: return beginFile(m, std::move(path));
    case MemberInfo::Kind::Symlink: return beginLink(m, std::move(path));
    case MemberInfo::Kind::Hardlink: return makeHardlink(m, std::move(path));
    }
    return archivers::kErrInternal;
}

ExtractSink::ExtractSink(ExtractOptions options) : impl_(std::make_unique<Impl>(std::move(options)))
{
    impl_->umaskBits = currentUmask();
    impl_->root.reset(::open(impl_->options.destination.c_str(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!impl_->root)
        impl_->fail(archivers::kErrWrite);
    else
        impl_->directCreate = isPrivateEmptyFolder(impl_->root.get());
}

ExtractSink::~ExtractSink()
{
    if (impl_)
        impl_->abandonFile(archivers::kErrInternal);
}

int32_t ExtractSink::beginMember(const MemberInfo &member)
{
    Impl &d = *impl_;
    if (d.file)
        d.abandonFile(archivers::kErrInternal); // the reader never ended the last one
    d.lastWasLink = false;
    ++d.member;
    if (d.options.listMembers)
        d.listMember(member);
    int32_t r;
    if (!d.root)
        r = archivers::kErrWrite;
    else if (d.finished)
        r = archivers::kErrInternal;
    else
        r = d.begin(member);
    d.lastWasLink = r == archivers::kOk && member.kind == MemberInfo::Kind::Symlink;
    d.lastResult = r;
    d.fail(r);
    return r;
}

int32_t ExtractSink::write(const void *data, size_t size)
{
    if (impl_->listedData)
        impl_->listData(data, size);
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
        d.abandonFile(archivers::kErrInternal);
    d.flushWriter();
    if (!d.finished && d.root) {
        d.finished = true;
        d.cachedFolder.reset();
        d.makeLinks();
        if (d.options.listMembers)
            d.markLinksLeadingOutside();
        d.applyFolderAttributes();
    }
    return d.firstFailure;
}

void ExtractSink::recordFailure(int32_t code)
{
    impl_->fail(code == archivers::kOk ? archivers::kErrInternal : code);
}

bool ExtractSink::stopped() const
{
    return impl_->isStopped();
}

const std::vector<ListedMember> &ExtractSink::listedMembers() const
{
    return impl_->listed;
}

uint64_t ExtractSink::filesFromWriterThread() const
{
    return impl_->writer ? impl_->writer->filesWritten() : 0;
}

} // namespace qvo::extract
