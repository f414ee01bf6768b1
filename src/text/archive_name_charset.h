// The one encoding an archive's unmarked member names are read in.
//
// Markers in the archive (ZIP bit 11 and 0x7075, CAB's UTF-8 attribute,
// RAR's Unicode names, LHA's Unicode and code-page headers) decide for the
// names they mark; the readers handle those.  Every other name goes
// through here: where the header tells the name's origin that decides
// (an Amiga LHA writes ISO-8859-1; Unix and Mac archivers write UTF-8, when
// the bytes are valid UTF-8), and the rest is read in one encoding for
// the whole archive, guessed from all those names together before the
// first member is handed over, or named by the user.  Where most of those
// names come from DOS or Windows archivers of a format that says they
// write the OEM code page, the guess leans that way.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qvo::text {

enum class NameOrigin {
    Unknown,
    Amiga,       // ISO-8859-1
    Utf8IfValid, // Unix and Mac archivers: UTF-8 when the bytes are valid UTF-8
    OemCodePage, // DOS and Windows, where the format says the OEM code page (ZIP)
};

class ArchiveNameCharset {
public:
    // `chosen`: the encoding the user named for this archive (an iconv
    // name); empty to guess.  A chosen encoding also overrides the origin.
    // `preferOem`: every name is the OEM code page's, as if offered with
    // that origin (see guessNameCharset).
    explicit ArchiveNameCharset(std::string chosen = {}, bool preferOem = false);

    // Offers one unmarked raw name to the guess; call for every name before
    // decide().  Only so many bytes are kept: a sample of a huge archive's
    // names tells as much as all of them.
    void add(std::string_view raw, NameOrigin origin);
    // Guesses from the names offered (nothing to do when chosen).
    void decide();

    // The encoding of an unmarked name of that origin.
    std::string charsetFor(std::string_view raw, NameOrigin origin) const;
    // The encoding of names the origin does not decide: chosen or guessed.
    const std::string &archiveCharset() const { return charset_; }

    // archiveNameToUtf8 and lhaPathToUtf8 for an unmarked name.
    std::string decode(std::string_view raw, NameOrigin origin) const;
    std::string decodeLhaPath(std::string_view raw, NameOrigin origin) const;

private:
    bool chosen_;
    bool preferOem_;
    std::string charset_;
    std::vector<std::string> sample_;
    size_t sampleBytes_ = 0;
    size_t oemNames_ = 0; // of the sample, offered as OemCodePage
};

} // namespace qvo::text
