#include "formats/readers.h"

#include "formats/arj/arj_reader.h"
#include "formats/cab/cab_reader.h"
#include "formats/lha/lha_reader.h"
#include "formats/rar/rar4_reader.h"
#include "formats/rar/rar_libarchive.h"
#include "formats/sevenzip/sevenzip_libarchive.h"
#include "formats/shared/libarchive_adapter.h"
#include "formats/tar/tar_libarchive.h"
#include "formats/zip/zip_libarchive.h"
#include "formats/zip/zip_name_markers.h"
#include "formats/zip/zip_walker.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace qvo::formats {
namespace {

// What the readers look at to decide, read once per archive.
class Probe {
public:
    Probe(shared::ArchiveFamily asked, const std::filesystem::path &path, const std::string &charset)
        : family(asked), archive(path), chosenCharset(charset)
    {
    }

    const shared::ArchiveFamily family;
    const std::filesystem::path &archive;
    const std::string &chosenCharset;

    // The ZIP central directory's name markers; the libarchive path decodes
    // names with them too.
    const zip::ZipNameMarkers &zipNameMarkers()
    {
        if (!zipMarkers_)
            zipMarkers_ = zip::readZipNameMarkers(archive, chosenCharset);
        return *zipMarkers_;
    }

private:
    std::optional<zip::ZipNameMarkers> zipMarkers_;
};

bool always(Probe &)
{
    return true;
}

// True when the file starts like one of the other formats 7-zip32 reads:
// a ZIP archive stored inside it must not be taken for the file itself.
bool startsAsOtherFormat(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::string head(262, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    auto starts = [&](std::string_view magic) { return head.compare(0, magic.size(), magic) == 0; };
    return starts(std::string_view("7z\xBC\xAF\x27\x1C", 6)) || starts("Rar!") || starts("\x1F\x8B")
        || starts("BZh") || starts(std::string_view("\xFD" "7zXZ\0", 6))
        || (head.size() >= 262 && head.compare(257, 5, "ustar") == 0);
}

// libarchive would fail members in Shrink, Reduce, Implode or Deflate64,
// or cut names at a NUL byte: such an archive goes through our own reader
// whole, so one path decides every member.
bool zipNeedsOwnReader(Probe &p)
{
    const zip::ZipNameMarkers &markers = p.zipNameMarkers();
    return markers.parsed && (markers.legacyMethods || markers.nulInNames) &&
           (p.family == shared::ArchiveFamily::Zip || !startsAsOtherFormat(p.archive));
}

// Members that share bytes (see ZipNameMarkers::overlapping) are refused
// before anything is written, whichever reader would take the archive, and
// also when the central directory holds fewer or more entries than its end
// record says: the entries it does hold overlap all the same.
bool zipMembersOverlap(Probe &p)
{
    return p.zipNameMarkers().overlapping
           && (p.family == shared::ArchiveFamily::Zip || !startsAsOtherFormat(p.archive));
}

int32_t refuseOverlapping(Probe &, extract::ExtractSink &)
{
    return archivers::kErrUnsafeEntry;
}

bool rar4Handles(Probe &p)
{
    return rar::rar4ReaderHandles(p.archive);
}

int32_t readLha(Probe &p, extract::ExtractSink &sink)
{
    return lha::readLhaArchive(p.archive, p.chosenCharset, sink);
}

int32_t readCab(Probe &p, extract::ExtractSink &sink)
{
    return cab::readCabArchive(p.archive, p.chosenCharset, sink);
}

int32_t readArj(Probe &p, extract::ExtractSink &sink)
{
    return arj::readArjArchive(p.archive, p.chosenCharset, sink);
}

int32_t readZipOwn(Probe &p, extract::ExtractSink &sink)
{
    return zip::readZipWithOwnDecoders(p.archive, p.chosenCharset, sink);
}

int32_t readRar4Own(Probe &p, extract::ExtractSink &sink)
{
    return rar::readRar4(p.archive, p.chosenCharset, sink);
}

// libarchive with the hooks of the formats it may meet.  Alone, a RAR
// archive is looked for behind any stub; among others, a file that merely
// holds a RAR marker is not taken for RAR.
int32_t readRarLibarchive(Probe &p, extract::ExtractSink &sink)
{
    rar::RarLibarchive rar(p.archive, true);
    shared::LibarchiveFormat *const formats[] = {&rar};
    return shared::readWithLibarchive(p.archive, formats, p.chosenCharset, sink);
}

int32_t readZipLibarchive(Probe &p, extract::ExtractSink &sink)
{
    zip::ZipLibarchive zip(p.zipNameMarkers());
    shared::LibarchiveFormat *const formats[] = {&zip};
    return shared::readWithLibarchive(p.archive, formats, p.chosenCharset, sink);
}

int32_t readManyLibarchive(Probe &p, extract::ExtractSink &sink)
{
    zip::ZipLibarchive zip(p.zipNameMarkers());
    sevenzip::SevenZipLibarchive sevenZip;
    rar::RarLibarchive rar(p.archive, false);
    tar::TarLibarchive tar;
    shared::LibarchiveFormat *const formats[] = {&zip, &sevenZip, &rar, &tar};
    return shared::readWithLibarchive(p.archive, formats, p.chosenCharset, sink);
}

struct Reader {
    shared::ArchiveFamily family;
    const char *format; // the format the row is there for, by the name the program shows
    const char *name;
    bool (*takes)(Probe &);
    int32_t (*read)(Probe &, extract::ExtractSink &);
};

// Asked in order; the first whose `takes` says yes reads the archive, and
// the last of each family takes what is left.
constexpr Reader kReaders[] = {
    {shared::ArchiveFamily::Lha, "LHA", "LHA: lhasa, and our decoders for lh2 and lh3", always, readLha},
    {shared::ArchiveFamily::Cab, "CAB", "CAB: libmspack", always, readCab},
    {shared::ArchiveFamily::Arj, "ARJ", "ARJ: our reader", always, readArj},
    {shared::ArchiveFamily::Rar, "RAR", "RAR 1.5-4: our reader", rar4Handles, readRar4Own},
    {shared::ArchiveFamily::Rar, "RAR", "RAR 5: libarchive", always, readRarLibarchive},
    {shared::ArchiveFamily::Zip, "ZIP", "ZIP with overlapping members: refused", zipMembersOverlap, refuseOverlapping},
    {shared::ArchiveFamily::Zip, "ZIP", "ZIP with old methods or NUL in names: our reader", zipNeedsOwnReader,
     readZipOwn},
    {shared::ArchiveFamily::Zip, "ZIP", "ZIP: libarchive", always, readZipLibarchive},
    {shared::ArchiveFamily::Many, "ZIP", "ZIP with overlapping members: refused", zipMembersOverlap,
     refuseOverlapping},
    {shared::ArchiveFamily::Many, "ZIP", "ZIP with old methods or NUL in names: our reader", zipNeedsOwnReader,
     readZipOwn},
    // 7-zip32 is there for ZIP; libarchive also takes the 7z, RAR and tar
    // archives it is handed, as it reads them.
    {shared::ArchiveFamily::Many, "ZIP", "ZIP, 7z, RAR, tar: libarchive", always, readManyLibarchive},
};

const Reader *choose(Probe &probe)
{
    for (const Reader &reader : kReaders) {
        if (reader.family == probe.family && reader.takes(probe))
            return &reader;
    }
    return nullptr;
}

} // namespace

int32_t readArchive(shared::ArchiveFamily family, const std::filesystem::path &archive,
                    const std::string &chosenCharset, extract::ExtractSink &sink)
{
    Probe probe(family, archive, chosenCharset);
    const Reader *reader = choose(probe);
    return reader ? reader->read(probe, sink) : archivers::kErrOpenArchive;
}

namespace {

std::vector<std::string> formatsOf(const std::optional<shared::ArchiveFamily> &family)
{
    std::vector<std::string> out;
    for (const Reader &reader : kReaders)
        if ((!family || reader.family == *family) && std::find(out.begin(), out.end(), reader.format) == out.end())
            out.emplace_back(reader.format);
    return out;
}

} // namespace

std::vector<std::string> formatsRead(shared::ArchiveFamily family)
{
    return formatsOf(family);
}

std::vector<std::string> formatsRead()
{
    return formatsOf(std::nullopt);
}

const char *readerName(shared::ArchiveFamily family, const std::filesystem::path &archive)
{
    const std::string guessed;
    Probe probe(family, archive, guessed);
    const Reader *reader = choose(probe);
    return reader ? reader->name : "none";
}

} // namespace qvo::formats
