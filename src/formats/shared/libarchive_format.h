// What one format adds to reading with libarchive: the hooks the adapter
// (libarchive_adapter.h) calls around libarchive's own reader, the way
// libarchive's archive_read_support_format_X fills one set of callbacks.
//
// libarchive reads the containers; what it misses is format knowledge:
// the volumes of a set, headers it misreads, checksums it does not check,
// encryption it does not report, names it does not say are UTF-8, and
// damage it takes for an empty archive.  A format's hooks supply exactly
// that.  One object serves one archive read, so the hooks may keep what
// they learn (the volumes found, the checksums read) from call to call.
// Adding a format read through libarchive is one such object and a row of
// the reader table.
#pragma once
#include "extract/extract_sink.h"
#include "text/archive_name_charset.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct archive;
struct archive_entry;

namespace qvo::formats::shared {

class PieceSource;

// How a format's member names (and link targets) are read: those it marks
// as UTF-8 as they are, every other one in the encoding `unmarked` holds.
class MemberNames {
public:
    explicit MemberNames(const text::ArchiveNameCharset &unmarked) : unmarked_(unmarked) {}
    virtual ~MemberNames() = default;

    // By default a name that is valid UTF-8 is taken as UTF-8 (RAR 4
    // Unicode names, RAR 5, 7z; an old CP932 name is seldom valid UTF-8).
    virtual bool marked(std::string_view raw) const;
    std::string decode(std::string_view raw, bool utf8) const;

private:
    const text::ArchiveNameCharset &unmarked_;
};

// What the adapter saw of an archive, for a format's verdict.
struct ReadSummary {
    archive *handle = nullptr;  // still open: the filters and format libarchive used
    bool readAsThis = false;    // libarchive took the archive as this format
    size_t members = 0;         // members whose headers were read
    size_t membersOfFormat = 0; // ... of them, read as this format
    bool dataFailed = false;    // some member's data failed
};

class LibarchiveFormat {
public:
    virtual ~LibarchiveFormat() = default;

    // Lets libarchive read the format: archive_read_support_format_X, and
    // the compression filters the format comes wrapped in.
    virtual void enable(archive *a) = 0;
    // Whether libarchive's archive_format() code is this format.  The member
    // hooks below are asked only for members libarchive read as this format.
    virtual bool reads(int libarchiveFormat) const = 0;

    // Opens `a` when the archive is more than its one file as it lies (the
    // volumes of a set, headers rewritten, a stub skipped), with `pieces`
    // for stretches of a file; a library result code.  None leaves the
    // opening to the next format and, last, to the adapter.
    virtual std::optional<int32_t> open(archive *, PieceSource &) { return std::nullopt; }
    // How this format's member names are read; null for the adapter's
    // default (UTF-8 when valid, else the archive's encoding).
    virtual const MemberNames *names() const { return nullptr; }
    // The CRC-32 a member's data must have, where libarchive does not check it.
    virtual std::optional<uint32_t> expectedCrc(archive *, archive_entry *, const extract::MemberInfo &)
    {
        return std::nullopt;
    }
    // Why the headers could not be read on, when the format knows better
    // than "cannot open" or "corrupt" (a volume missing).
    virtual std::optional<int32_t> headerFailure() { return std::nullopt; }
    // The archive's result once libarchive has stopped: `result` as the
    // adapter has it, which a format may turn into a failure libarchive
    // missed.  Asked of every format, in order.
    virtual int32_t verdict(int32_t result, const ReadSummary &) { return result; }
};

} // namespace qvo::formats::shared
