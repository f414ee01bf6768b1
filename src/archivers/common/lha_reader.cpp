#include "archivers/common/lha_reader.h"

#include "archivers/common/crc16.h"
#include "archivers/common/lha_header_names.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <lhasa.h>
}

namespace qvo::archivers {
namespace {

constexpr size_t kBufferSize = 64 * 1024;
constexpr char kDirMethod[] = "-lhd-";
constexpr uint64_t kFileTimeEpochOffset = 11644473600ULL; // 1601 -> 1970, seconds

// lhasa reads through these callbacks, so it never opens files itself.
// A truncated member shows as a short length or a CRC mismatch.
struct FdStream {
    int fd = -1;

    static int read(void *handle, void *buf, size_t len)
    {
        auto *s = static_cast<FdStream *>(handle);
        size_t done = 0;
        while (done < len) {
            ssize_t n = ::read(s->fd, static_cast<char *>(buf) + done, len - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return -1;
            if (n == 0)
                break;
            done += static_cast<size_t>(n);
        }
        return static_cast<int>(done);
    }
    static int skip(void *handle, size_t bytes)
    {
        auto *s = static_cast<FdStream *>(handle);
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

MemberInfo describe(const LHAFileHeader *h)
{
    MemberInfo m;
    std::string_view raw(reinterpret_cast<const char *>(h->raw_data), h->raw_data_len);
    std::string name = decodeLhaName(parseLhaHeaderNames(raw, h->header_level), h->os_type);

    bool isDir = std::strcmp(h->compress_method, kDirMethod) == 0;
    if (isDir && h->symlink_target) {
        // Stored as "name|target"; split after decoding, as '|' (0x7C) can
        // be the second byte of a CP932 character.
        size_t bar = name.find('|');
        m.kind = MemberInfo::Kind::Symlink;
        if (bar != std::string::npos) {
            m.linkTarget = name.substr(bar + 1);
            name.resize(bar);
        } else {
            m.linkTarget = h->symlink_target;
        }
    } else if (isDir) {
        m.kind = MemberInfo::Kind::Directory;
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

// Streams the current member's data into the sink, checking length and CRC.
void extractData(LHAReader *reader, const LHAFileHeader *h, ExtractSink &sink, std::vector<char> &buf)
{
    uint16_t crc = 0;
    uint64_t total = 0;
    int32_t failure = kErrCorrupt;
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
        int32_t w = sink.write(buf.data(), n);
        if (w != kOk) {
            ok = false;
            failure = w;
            break;
        }
    }
    if (ok && (total != h->length || crc != h->crc))
        ok = false;
    sink.endMember(ok, failure);
}

} // namespace

int32_t readLhaArchive(const std::filesystem::path &archive, ExtractSink &sink)
{
    Fd file{::open(archive.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        return kErrOpenArchive;
    struct stat st {};
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return kErrOpenArchive;

    FdStream fdStream{file.fd};
    LHAInputStream *stream = lha_input_stream_new(&kStreamType, &fdStream);
    if (!stream)
        return kErrInternal;
    LHAReader *reader = lha_reader_new(stream);
    if (!reader) {
        lha_input_stream_free(stream);
        return kErrInternal;
    }
    // Folders come once, in archive order; the sink sets folder times last.
    lha_reader_set_dir_policy(reader, LHA_READER_DIR_PLAIN);

    std::vector<char> buf(kBufferSize);
    size_t members = 0;
    int32_t result = kOk;
    while (LHAFileHeader *h = lha_reader_next_file(reader)) {
        ++members;
        MemberInfo info = describe(h);
        // lhasa strips MacBinary wrappers from Mac archives' data, which
        // would defeat our length and CRC checks; keep the data as stored.
        h->os_type = LHA_OS_TYPE_UNKNOWN;
        int32_t begin = sink.beginMember(info);
        if (begin == kOk && info.kind == MemberInfo::Kind::File)
            extractData(reader, h, sink, buf);
        if (sink.stopped())
            break;
    }
    if (members == 0 && st.st_size > 1)
        result = kErrOpenArchive; // not an LHA archive (an empty one is a single 0 byte)

    lha_reader_free(reader);
    lha_input_stream_free(stream);
    return result;
}

} // namespace qvo::archivers
