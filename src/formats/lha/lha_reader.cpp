#include "formats/lha/lha_reader.h"

#include "codecs/lha/lha_crc16.h"
#include "extract/file_range_source.h"
#include "formats/lha/lha_ahead_queue.h"
#include "formats/lha/lha_header_scan.h"
#include "formats/lha/lha_header_names.h"
#include "formats/lha/macbinary_filter.h"
#include "codecs/lha/lh2_decoder.h"
#include "codecs/lha/lh3_decoder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <algorithm>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <lhasa.h>
}

namespace qvo::formats::lha {
using codecs::lha::crc16Update;
namespace {

constexpr size_t kBufferSize = 64 * 1024;
// Where to look for an archive lhasa does not find, and how many headers
// to try there: self-extractor programs are well below a few MiB.
constexpr size_t kMaxStartCandidates = 8;
constexpr uint64_t kStartScanLimit = 16ull << 20;
constexpr size_t kMaxResumes = 4096;
constexpr char kDirMethod[] = "-lhd-";
constexpr uint64_t kFileTimeEpochOffset = 11644473600ULL; // 1601 -> 1970, seconds

// lhasa reads through these callbacks, so it never opens files itself.
// A truncated member shows as a short length or a CRC mismatch; a
// truncated header only here, as lhasa then just reports the end: a read
// cut short by the end of the file that did not start with the 0 byte
// ending an archive.
struct FdStream {
    int fd = -1;
    bool truncated = false;
    // lhasa reads headers and compressed data a few bytes at a time: serve
    // those reads from a buffer instead of one system call each.
    std::vector<char> buffer = std::vector<char>(kBufferSize);
    size_t bufferPos = 0;
    size_t bufferEnd = 0;

    // Reads up to `len` bytes straight from the file; -1 on an error.
    ssize_t readFile(char *out, size_t len)
    {
        for (;;) {
            ssize_t n = ::read(fd, out, len);
            if (n < 0 && errno == EINTR)
                continue;
            return n;
        }
    }

    static int read(void *handle, void *buf, size_t len)
    {
        auto *s = static_cast<FdStream *>(handle);
        char *out = static_cast<char *>(buf);
        size_t done = 0;
        while (done < len) {
            if (s->bufferPos < s->bufferEnd) {
                size_t n = std::min(len - done, s->bufferEnd - s->bufferPos);
                std::memcpy(out + done, s->buffer.data() + s->bufferPos, n);
                s->bufferPos += n;
                done += n;
                continue;
            }
            ssize_t n;
            if (len - done >= s->buffer.size()) {
                n = s->readFile(out + done, len - done);
                if (n > 0)
                    done += static_cast<size_t>(n);
            } else {
                n = s->readFile(s->buffer.data(), s->buffer.size());
                s->bufferPos = 0;
                s->bufferEnd = n > 0 ? static_cast<size_t>(n) : 0;
            }
            if (n < 0)
                return -1;
            if (n == 0)
                break;
        }
        s->truncated = done > 0 && done < len && static_cast<const unsigned char *>(buf)[0] != 0;
        return static_cast<int>(done);
    }
    static int skip(void *handle, size_t bytes)
    {
        auto *s = static_cast<FdStream *>(handle);
        size_t buffered = s->bufferEnd - s->bufferPos;
        if (bytes <= buffered) {
            s->bufferPos += bytes;
            return 1;
        }
        bytes -= buffered;
        s->bufferPos = s->bufferEnd = 0;
        return ::lseek(s->fd, static_cast<off_t>(bytes), SEEK_CUR) >= 0;
    }
    static void close(void *) {}
};

const LHAInputStreamType kStreamType = {&FdStream::read, &FdStream::skip, &FdStream::close};

struct Fd {
    int fd;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

LhaHeaderNames headerNames(const LHAFileHeader *h)
{
    std::string_view raw(reinterpret_cast<const char *>(h->raw_data), h->raw_data_len);
    return parseLhaHeaderNames(raw, h->header_level);
}

extract::MemberInfo describe(const LHAFileHeader *h, const text::ArchiveNameCharset &names)
{
    extract::MemberInfo m;
    std::string name = decodeLhaName(headerNames(h), h->os_type, names);

    bool isDir = std::strcmp(h->compress_method, kDirMethod) == 0;
    if (isDir && h->symlink_target) {
        // Stored as "name|target"; split after decoding, as '|' (0x7C) can
        // be the second byte of a CP932 character.
        size_t bar = name.find('|');
        m.kind = extract::MemberInfo::Kind::Symlink;
        if (bar != std::string::npos) {
            m.linkTarget = name.substr(bar + 1);
            name.resize(bar);
        } else {
            m.linkTarget = h->symlink_target;
        }
    } else if (isDir) {
        m.kind = extract::MemberInfo::Kind::Directory;
    } else {
        m.size = h->length;
    }
    // LHMelt and MacLHA store full paths ("\\dir\\file", 0xFF-led folder
    // headers); LHA extractors have always taken them relative to the
    // destination, and so do we.  Every other check stays with the sink.
    size_t lead = name.find_first_not_of('/');
    m.name = lead == std::string::npos ? std::string() : name.substr(lead);

    if (LHA_FILE_HAVE_EXTRA(h, LHA_FILE_WINDOWS_TIMESTAMPS) && h->win_modification_time != 0) {
        uint64_t ft = h->win_modification_time;
        uint64_t sec = ft / 10000000ULL;
        m.mtimeSec = static_cast<int64_t>(sec) - static_cast<int64_t>(kFileTimeEpochOffset);
        m.mtimeNsec = static_cast<uint32_t>((ft % 10000000ULL) * 100);
    } else if (h->timestamp != 0) {
        m.mtimeSec = static_cast<int64_t>(h->timestamp);
    }
    if (LHA_FILE_HAVE_EXTRA(h, LHA_FILE_UNIX_PERMS)) {
        // OS-9 permissions that lhasa mapped carry a directory bit (040000);
        // only permission bits go on.
        m.unixMode = h->unix_perms & 07777;
    }
    return m;
}

// Ends the member: a good one still has the MacBinary filter's tail to write.
void endMember(MacBinaryFilter &filter, extract::ExtractSink &sink, bool ok, int32_t failure)
{
    if (ok) {
        int32_t w = filter.finish(sink);
        if (w != archivers::kOk) {
            ok = false;
            failure = w;
        }
    }
    sink.endMember(ok, failure);
}

// Streams the current member's data into the sink, checking length and CRC.
void extractData(LHAReader *reader, const LHAFileHeader *h, MacBinaryFilter &filter, extract::ExtractSink &sink,
                 std::vector<char> &buf)
{
    uint16_t crc = 0;
    uint64_t total = 0;
    int32_t failure = archivers::kErrCorrupt;
    bool ok = true;
    for (;;) {
        size_t n = lha_reader_read(reader, buf.data(), buf.size());
        if (n == 0)
            break;
        total += n;
        if (total > h->length) {
            ok = false;
            break;
        }
        crc = crc16Update(crc, buf.data(), n);
        int32_t w = filter.write(sink, buf.data(), n);
        if (w != archivers::kOk) {
            ok = false;
            failure = w;
            break;
        }
    }
    endMember(filter, sink, ok && total == h->length && crc == h->crc, failure);
}

// Methods lhasa lists but does not decode; we decode them from the file.
bool isOwnMethod(const LHAFileHeader *h)
{
    return std::strcmp(h->compress_method, "-lh2-") == 0 || std::strcmp(h->compress_method, "-lh3-") == 0;
}

// Counts the CRC and passes data through the MacBinary filter.
class LhaOwnOutput : public base::ByteSink {
public:
    LhaOwnOutput(extract::ExtractSink &sink, MacBinaryFilter &filter) : sink_(sink), filter_(filter) {}
    bool write(const uint8_t *data, size_t size) override
    {
        crc_ = crc16Update(crc_, data, size);
        total_ += size;
        result_ = filter_.write(sink_, reinterpret_cast<const char *>(data), size);
        return result_ == archivers::kOk;
    }
    uint16_t crc() const { return crc_; }
    uint64_t total() const { return total_; }
    int32_t result() const { return result_; }

private:
    extract::ExtractSink &sink_;
    MacBinaryFilter &filter_;
    uint16_t crc_ = 0;
    uint64_t total_ = 0;
    int32_t result_ = archivers::kOk;
};

// Decodes the current member ourselves from `headerStart` on, where its
// header must sit as lhasa read it (else the data's place is not known for
// certain and the member fails).  The fixed part of the header (its size,
// method, sizes, time, attribute, level) is compared: lhasa clears the
// header CRC in the raw copy it keeps.
bool headerPlaced(int fd, uint64_t headerStart, const LHAFileHeader *h)
{
    constexpr size_t kFixedHeader = 21;
    char header[kFixedHeader];
    return h->raw_data_len >= kFixedHeader
        && ::pread(fd, header, kFixedHeader, static_cast<off_t>(headerStart)) == static_cast<ssize_t>(kFixedHeader)
        && std::memcmp(header, h->raw_data, kFixedHeader) == 0;
}

void extractOwnData(int fd, uint64_t headerStart, const LHAFileHeader *h, MacBinaryFilter &filter,
                    extract::ExtractSink &sink)
{
    if (!headerPlaced(fd, headerStart, h)) {
        sink.endMember(false, archivers::kErrCorrupt);
        return;
    }
    extract::FileRangeSource source(fd, headerStart + h->raw_data_len, h->compressed_length);
    LhaOwnOutput out(sink, filter);
    auto status = std::strcmp(h->compress_method, "-lh2-") == 0 ? codecs::lha::decodeLh2(source, h->length, out)
                                                                : codecs::lha::decodeLh3(source, h->length, out);
    bool ok = status == base::DecodeStatus::Ok && out.total() == h->length && out.crc() == h->crc;
    int32_t failure = status == base::DecodeStatus::OutputStopped ? out.result() : archivers::kErrCorrupt;
    endMember(filter, sink, ok, failure);
}

// One walk over the archive: either the names pass, which only offers
// every header's names to `collect` (lhasa seeks past the data), or the
// extraction into `sink` with names read as `names` says.
struct LhaWalk {
    extract::ExtractSink &sink;
    const text::ArchiveNameCharset &names;
    text::ArchiveNameCharset *collect = nullptr;
};

// Reads the archive starting at `offset` through lhasa, adding to
// `members`.  `next` is where the header after the last one read should
// start (only a guess when lhasa skipped a self-extractor's program).
int32_t readFrom(int fd, off_t offset, const LhaWalk &walk, size_t &members, uint64_t &next)
{
    extract::ExtractSink &sink = walk.sink;
    next = static_cast<uint64_t>(offset);
    if (::lseek(fd, offset, SEEK_SET) != offset)
        return archivers::kErrOpenArchive;
    FdStream fdStream{fd};
    LHAInputStream *stream = lha_input_stream_new(&kStreamType, &fdStream);
    if (!stream)
        return archivers::kErrInternal;
    LHAReader *reader = lha_reader_new(stream);
    if (!reader) {
        lha_input_stream_free(stream);
        return archivers::kErrInternal;
    }
    // Folders come once, in archive order; the sink sets folder times last.
    lha_reader_set_dir_policy(reader, LHA_READER_DIR_PLAIN);

    std::vector<char> buf(kBufferSize);
    LhaAheadQueue ahead(fd);
    size_t seen = 0;
    while (LHAFileHeader *h = lha_reader_next_file(reader)) {
        ++members;
        ++seen;
        uint64_t headerStart = next;
        next += h->raw_data_len + h->compressed_length;
        if (walk.collect) {
            addLhaNames(headerNames(h), h->os_type, *walk.collect);
            continue;
        }
        extract::MemberInfo info = describe(h, walk.names);
        // lhasa's own MacBinary stripping would hide the stored data from
        // our length and CRC checks: it is switched off and done here.
        bool mac = h->os_type == LHA_OS_TYPE_MACOS;
        h->os_type = LHA_OS_TYPE_UNKNOWN;
        if (mac)
            info.size.reset(); // the data fork may be shorter than the stored length
        if (ahead.takes(h->compress_method, h->length, info, mac, seen) && headerPlaced(fd, headerStart, h)) {
            ahead.add(info, h->compress_method, headerStart + h->raw_data_len, h->compressed_length, h->length,
                      h->crc, sink);
            if (sink.stopped())
                break;
            continue;
        }
        if (ahead.queuesWithoutData(info)) {
            ahead.addWithoutData(info, sink);
            if (sink.stopped())
                break;
            continue;
        }
        // Anything else waits for the members before it.
        ahead.drain(sink);
        if (sink.stopped())
            break;
        int32_t begin = sink.beginMember(info);
        if (begin == archivers::kOk && info.kind == extract::MemberInfo::Kind::File) {
            MacBinaryFilter filter(mac, h->filename ? h->filename : "", h->length);
            if (isOwnMethod(h))
                extractOwnData(fd, headerStart, h, filter, sink);
            else
                extractData(reader, h, filter, sink, buf);
        }
        if (sink.stopped())
            break;
    }
    ahead.drain(sink);
    int32_t result = fdStream.truncated && !sink.stopped() ? archivers::kErrCorrupt : archivers::kOk;
    lha_reader_free(reader);
    lha_input_stream_free(stream);
    return result;
}

// Reads the archive through lhasa from its start, behind entries lhasa
// refuses, or from where a self-extractor holds it.
int32_t walkArchive(int fd, const struct stat &st, const LhaWalk &walk)
{
    extract::ExtractSink &sink = walk.sink;
    size_t members = 0;
    uint64_t next = 0;
    int32_t result = readFrom(fd, 0, walk, members, next);
    // lhasa ends the archive at folder entries without a name (see
    // namelessEntryAt): such an entry is made from its folder field if it
    // has one, and reading goes on behind it.
    for (size_t resumed = 0; result == archivers::kOk && !sink.stopped() && resumed < kMaxResumes; ++resumed) {
        NamelessEntry entry = namelessEntryAt(fd, next);
        if (entry.size == 0)
            break;
        LhaHeaderNames entryNames = parseLhaHeaderNames(entry.header, entry.level);
        if (walk.collect)
            addLhaNames(entryNames, entry.osId, *walk.collect);
        std::string path = decodeLhaName(entryNames, entry.osId, walk.names);
        size_t lead = path.find_first_not_of('/');
        if (lead != std::string::npos && !walk.collect) {
            extract::MemberInfo folder;
            folder.kind = extract::MemberInfo::Kind::Directory;
            folder.name = path.substr(lead);
            sink.beginMember(folder);
        }
        uint64_t at = next + entry.size;
        result = readFrom(fd, static_cast<off_t>(at), walk, members, next);
    }
    // lhasa also ends the archive silently at other headers it refuses;
    // a sound header there is a member lost, not the end.
    if (result == archivers::kOk && members > 0 && !sink.stopped() && lhaHeaderAt(fd, next))
        result = archivers::kErrCorrupt;
    if (members == 0 && result != archivers::kErrInternal) {
        // Nothing found where lhasa looks: a self-extractor may hold the
        // archive further on.  Each candidate header is tried until one
        // gives members.
        auto size = static_cast<uint64_t>(st.st_size);
        for (uint64_t start : findLhaHeaders(fd, size, kMaxStartCandidates, kStartScanLimit)) {
            if (start == 0)
                continue; // lhasa read from there already
            size_t found = 0;
            int32_t r = readFrom(fd, static_cast<off_t>(start), walk, found, next);
            if (found > 0) {
                members = found;
                result = r;
                break;
            }
        }
    }
    if (members == 0 && st.st_size > 1 && result == archivers::kOk)
        result = archivers::kErrOpenArchive; // not an LHA archive (an empty one is a single 0 byte)
    return result;
}

} // namespace

int32_t readLhaArchive(const std::filesystem::path &archive, const std::string &chosenCharset,
                       extract::ExtractSink &sink)
{
    Fd file{::open(archive.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        return archivers::kErrOpenArchive;
    struct stat st {};
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return archivers::kErrOpenArchive;

    // The names pass reads headers only, so that every unmarked name is
    // known before the first member goes out.
    text::ArchiveNameCharset names(chosenCharset);
    if (chosenCharset.empty()) {
        walkArchive(file.fd, st, LhaWalk{sink, names, &names});
        names.decide();
    }
    return walkArchive(file.fd, st, LhaWalk{sink, names});
}

} // namespace qvo::formats::lha
