#include "formats/cab/cab_reader.h"

#include "base/ascii.h"
#include "text/archive_name_charset.h"
#include "text/archive_names.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <mspack.h>
}

namespace qvo::formats::cab {
namespace {

// libmspack opens every file through our mspack_system: cabinets by their
// real paths, and the output of extract() under this name, which routes
// the data into the sink.  It never touches the file system for writing.
constexpr char kSinkName[] = "\x01qvo-sink";

struct CabFile {
    int fd = -1;            // a cabinet opened for reading
    extract::ExtractSink *sink = nullptr;
    int32_t writeFailure = archivers::kOk;
};

struct CabSystem {
    mspack_system sys; // first: libmspack passes this pointer back to us
    extract::ExtractSink *sink;
    CabFile *output = nullptr;
};

mspack_file *sysOpen(mspack_system *self, const char *filename, int mode)
{
    auto *cs = reinterpret_cast<CabSystem *>(self);
    if (mode == MSPACK_SYS_OPEN_WRITE && std::strcmp(filename, kSinkName) == 0) {
        auto *f = new (std::nothrow) CabFile;
        if (!f)
            return nullptr;
        f->sink = cs->sink;
        cs->output = f;
        return reinterpret_cast<mspack_file *>(f);
    }
    if (mode != MSPACK_SYS_OPEN_READ)
        return nullptr;
    int fd = ::open(filename, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto *f = new (std::nothrow) CabFile;
    if (!f) {
        ::close(fd);
        return nullptr;
    }
    f->fd = fd;
    return reinterpret_cast<mspack_file *>(f);
}

// libmspack may hand back a handle it failed to get (a damaged cabinet
// whose data lies in a missing neighbour), as its own default functions
// allow: every callback takes a null handle as a failed one.
void sysClose(mspack_file *file)
{
    auto *f = reinterpret_cast<CabFile *>(file);
    if (!f)
        return;
    if (f->fd >= 0)
        ::close(f->fd);
    if (!f->sink)
        delete f; // the output file is read back by the reader, then freed
}

int sysRead(mspack_file *file, void *buffer, int bytes)
{
    auto *f = reinterpret_cast<CabFile *>(file);
    if (!f || f->fd < 0 || bytes < 0)
        return -1;
    int done = 0;
    while (done < bytes) {
        ssize_t n = ::read(f->fd, static_cast<char *>(buffer) + done, static_cast<size_t>(bytes - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<int>(n);
    }
    return done;
}

int sysWrite(mspack_file *file, void *buffer, int bytes)
{
    auto *f = reinterpret_cast<CabFile *>(file);
    if (!f || !f->sink || bytes < 0)
        return -1;
    int32_t r = f->sink->write(buffer, static_cast<size_t>(bytes));
    if (r != archivers::kOk) {
        f->writeFailure = r;
        return -1;
    }
    return bytes;
}

int sysSeek(mspack_file *file, off_t offset, int mode)
{
    auto *f = reinterpret_cast<CabFile *>(file);
    if (!f || f->fd < 0)
        return -1;
    int whence = mode == MSPACK_SYS_SEEK_START ? SEEK_SET : mode == MSPACK_SYS_SEEK_CUR ? SEEK_CUR : SEEK_END;
    return ::lseek(f->fd, offset, whence) < 0 ? -1 : 0;
}

off_t sysTell(mspack_file *file)
{
    auto *f = reinterpret_cast<CabFile *>(file);
    return !f || f->fd < 0 ? -1 : ::lseek(f->fd, 0, SEEK_CUR);
}

void sysMessage(mspack_file *, const char *, ...) {}

void *sysAlloc(mspack_system *, size_t bytes)
{
    return std::malloc(bytes);
}

void sysFree(void *ptr)
{
    std::free(ptr);
}

void sysCopy(void *src, void *dest, size_t bytes)
{
    std::memmove(dest, src, bytes);
}

// The file a cabinet names as its neighbour, looked up in `folder` only
// (any path in the stored name is dropped) and without regard to case, as
// the names come from case-insensitive systems.
std::optional<std::filesystem::path> findNeighbour(const std::filesystem::path &folder, const char *stored)
{
    if (!stored || !*stored)
        return std::nullopt;
    std::string name = stored;
    size_t sep = name.find_last_of("\\/:");
    if (sep != std::string::npos)
        name = name.substr(sep + 1);
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    std::error_code ec;
    if (std::filesystem::is_regular_file(folder / name, ec))
        return folder / name;
    std::string want = base::asciiLower(name);
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec)) {
        if (base::asciiLower(it->path().filename().string()) == want && it->is_regular_file(ec))
            return it->path();
    }
    return std::nullopt;
}

int32_t mapError(int err)
{
    switch (err) {
    case MSPACK_ERR_OK:
        return archivers::kOk;
    case MSPACK_ERR_OPEN:
    case MSPACK_ERR_SIGNATURE:
        return archivers::kErrOpenArchive;
    case MSPACK_ERR_NOMEMORY:
        return archivers::kErrInternal;
    case MSPACK_ERR_WRITE:
        return archivers::kErrWrite;
    default:
        return archivers::kErrCorrupt;
    }
}

extract::MemberInfo describe(const mscabd_file *f, const text::ArchiveNameCharset &names)
{
    extract::MemberInfo m;
    std::string_view raw(f->filename ? f->filename : "");
    m.name = (f->attribs & MSCAB_ATTRIB_UTF_NAME) ? text::archiveNameToUtf8(raw, text::NameEncoding::Utf8)
                                                  : names.decode(raw, text::NameOrigin::Unknown);
    m.size = f->length;
    // Cabinet times are local wall-clock times, like the FAT times they
    // were taken from.
    std::tm tm{};
    tm.tm_year = f->date_y - 1900;
    tm.tm_mon = f->date_m - 1;
    tm.tm_mday = f->date_d;
    tm.tm_hour = f->time_h;
    tm.tm_min = f->time_m;
    tm.tm_sec = f->time_s;
    tm.tm_isdst = -1;
    if (f->date_y >= 1980 && f->date_m >= 1 && f->date_m <= 12 && f->date_d >= 1) {
        std::time_t t = std::mktime(&tm);
        if (t != static_cast<std::time_t>(-1))
            m.mtimeSec = static_cast<int64_t>(t);
    }
    return m;
}

class CabSession {
public:
    CabSession(extract::ExtractSink &sink, const std::string &chosenCharset) : names_(chosenCharset)
    {
        cs_.sys = mspack_system{sysOpen, sysClose, sysRead,  sysWrite, sysSeek, sysTell,
                                sysMessage, sysAlloc, sysFree, sysCopy, nullptr};
        cs_.sink = &sink;
        cabd_ = mspack_create_cab_decompressor(&cs_.sys);
    }
    ~CabSession()
    {
        if (!cabd_)
            return;
        // Closing a cabinet also frees every cabinet joined to it and the
        // ones a search found after it.
        if (searched_)
            cabd_->close(cabd_, searched_);
        mspack_destroy_cab_decompressor(cabd_);
    }
    CabSession(const CabSession &) = delete;
    CabSession &operator=(const CabSession &) = delete;

    int32_t run(const std::filesystem::path &archive, extract::ExtractSink &sink)
    {
        if (!cabd_)
            return archivers::kErrInternal;
        // A cabinet file holds one cabinet at its start.  Only when it does
        // not (self-extracting installers, damaged starts) search for embedded ones: a
        // search in an ordinary cabinet would also find cabinets stored
        // uncompressed as its members.
        searched_ = cabd_->open(cabd_, archive.c_str());
        if (!searched_ && cabd_->last_error(cabd_) != MSPACK_ERR_OPEN)
            searched_ = cabd_->search(cabd_, archive.c_str());
        if (!searched_) {
            int err = cabd_->last_error(cabd_);
            return err == MSPACK_ERR_OK ? archivers::kErrOpenArchive : mapError(err);
        }
        std::filesystem::path folder = archive.parent_path();
        if (folder.empty())
            folder = ".";
        int32_t result = archivers::kOk;
        std::vector<mscabd_cabinet *> heads;
        for (mscabd_cabinet *cab = searched_; cab; cab = cab->next) {
            if (cab->prevcab || cab->nextcab)
                continue; // already joined into a set found earlier
            int32_t r = joinSet(cab, folder);
            if (r != archivers::kOk && result == archivers::kOk)
                result = r;
            mscabd_cabinet *head = cab;
            while (head->prevcab)
                head = head->prevcab;
            heads.push_back(head);
        }
        // libmspack has read every file entry already: the names decide
        // their encoding before the first member goes out.
        for (mscabd_cabinet *head : heads)
            for (mscabd_file *f = head->files; f; f = f->next)
                if (!(f->attribs & MSCAB_ATTRIB_UTF_NAME) && f->filename)
                    names_.add(f->filename, text::NameOrigin::Unknown);
        names_.decide();
        for (mscabd_cabinet *head : heads) {
            for (mscabd_file *f = head->files; f; f = f->next) {
                extractFile(f, sink);
                if (sink.stopped())
                    return result;
            }
        }
        return result;
    }

private:
    int32_t joinSet(mscabd_cabinet *cab, const std::filesystem::path &folder)
    {
        int32_t result = archivers::kOk;
        for (mscabd_cabinet *c = cab; c && (c->flags & MSCAB_HDR_PREVCAB) && !c->prevcab; c = c->prevcab) {
            mscabd_cabinet *other = openNeighbour(folder, c->prevname);
            if (!other || cabd_->prepend(cabd_, c, other) != MSPACK_ERR_OK) {
                if (other)
                    cabd_->close(cabd_, other);
                result = archivers::kErrMissingVolume;
                break;
            }
        }
        for (mscabd_cabinet *c = cab; c && (c->flags & MSCAB_HDR_NEXTCAB) && !c->nextcab; c = c->nextcab) {
            mscabd_cabinet *other = openNeighbour(folder, c->nextname);
            if (!other || cabd_->append(cabd_, c, other) != MSPACK_ERR_OK) {
                if (other)
                    cabd_->close(cabd_, other);
                result = archivers::kErrMissingVolume;
                break;
            }
        }
        return result;
    }

    mscabd_cabinet *openNeighbour(const std::filesystem::path &folder, const char *stored)
    {
        auto path = findNeighbour(folder, stored);
        if (!path || cabinetPaths_.size() >= kMaxCabinets)
            return nullptr;
        // libmspack keeps the name pointer to reopen the file later.
        cabinetPaths_.push_back(path->string());
        return cabd_->open(cabd_, cabinetPaths_.back().c_str());
    }

    void extractFile(mscabd_file *f, extract::ExtractSink &sink)
    {
        if (sink.beginMember(describe(f, names_)) != archivers::kOk)
            return;
        cs_.output = nullptr;
        int err = cabd_->extract(cabd_, f, kSinkName);
        int32_t failure = mapError(err);
        if (cs_.output) {
            if (cs_.output->writeFailure != archivers::kOk)
                failure = cs_.output->writeFailure;
            delete cs_.output;
            cs_.output = nullptr;
        }
        sink.endMember(err == MSPACK_ERR_OK && failure == archivers::kOk,
                       failure == archivers::kOk ? archivers::kErrCorrupt : failure);
    }

    static constexpr size_t kMaxCabinets = 1000; // a set's index is 16-bit; loops end here
    CabSystem cs_{};
    mscab_decompressor *cabd_ = nullptr;
    mscabd_cabinet *searched_ = nullptr;
    std::deque<std::string> cabinetPaths_;
    text::ArchiveNameCharset names_;
};

} // namespace

int32_t readCabArchive(const std::filesystem::path &archive, const std::string &chosenCharset,
                       extract::ExtractSink &sink)
{
    CabSession session(sink, chosenCharset);
    return session.run(archive, sink);
}

} // namespace qvo::formats::cab
