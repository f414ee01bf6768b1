// Which of our formats a file holds, told by its content.
//
// Archives come named .exe, .com, .x, .lzs, .zipx or nothing at all, and
// now and then a ZIP is named .lzh.  identifyArchive looks at a bounded
// head and tail of the file, never at all of it, so a folder of large
// programs costs a few reads each:
//   - a signature at the very start (LHA header, ZIP local or end record,
//     "MSCF", a RAR marker, an ARJ main header) names the format plainly;
//   - otherwise the kind the file's name gives (if any) stands, as the
//     reader of that kind decides about damaged or odd archives itself;
//   - a file of no known name is searched as the readers search
//     self-extractors: the ZIP end record in the tail, a RAR marker, a
//     cabinet header, an LHA header or an ARJ main header in the head.
// Later volumes of a set are told apart: their first volume reads them.
#pragma once
#include <cstdint>
#include <string>

namespace qvo::identify {

enum class ArchiveKind { None, Lha, Zip, Cab, Rar, Arj };

struct ArchiveIdentity {
    ArchiveKind kind = ArchiveKind::None;
    bool laterVolume = false; // a RAR or ARJ volume or a cabinet after the first of its set
    bool behindStub = false;  // found after other bytes: a self-extractor
};

// How far into a file a self-extractor's archive is looked for.  Stubs are
// well below this; the readers themselves look as far or further.
inline constexpr uint64_t kHeadScanLimit = 1 << 20;

// What `path` holds.  `byName` is the kind the file's extension names
// (None when it names none): it stands unless the content starts plainly
// as another kind.  A file that cannot be read gets `byName`.
ArchiveIdentity identifyArchive(const std::string &path, ArchiveKind byName);

} // namespace qvo::identify
