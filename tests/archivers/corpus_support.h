// The shared corpus and its reader matrix (READERS.md): which archives are
// expected readable, which independent readers read each of them fully.
#pragma once
#include "convert/corpus_support.h"
#include "reader_test_support.h"

#include "formats/readers.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace qvo::test {

struct CorpusRow {
    std::string path;     // relative to the corpus folder
    std::string format;   // LZH, ZIP, CAB, RAR, RAR4, RAR5
    std::string expected; // "readable", "must fail cleanly", "hostile", ...
    std::map<std::string, std::string> cells; // reader -> OK, list, -, ...
    bool readerOk(const std::string &reader) const
    {
        auto it = cells.find(reader);
        return it != cells.end() && it->second == "OK";
    }
};

inline std::string trim(std::string s)
{
    size_t a = s.find_first_not_of(" `");
    size_t b = s.find_last_not_of(" `");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// The rows of READERS.md's full matrix.
inline std::vector<CorpusRow> corpusRows()
{
    static const char *const kReaders[] = {"lhasa", "bsdtar", "7zz", "cabextract", "unar", "unrar-free"};
    std::vector<CorpusRow> rows;
    std::ifstream in(std::string(QVO_CORPUS_DIR) + "/READERS.md");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("| `", 0) != 0)
            continue;
        std::vector<std::string> cells;
        std::stringstream ss(line.substr(1));
        std::string cell;
        while (std::getline(ss, cell, '|'))
            cells.push_back(trim(cell));
        if (cells.size() < 9)
            continue;
        CorpusRow r{cells[0], cells[1], cells[2], {}};
        for (int i = 0; i < 6; ++i)
            r.cells[kReaders[i]] = cells[3 + i];
        rows.push_back(std::move(r));
    }
    return rows;
}

inline std::filesystem::path corpusPath(const std::string &rel)
{
    return std::filesystem::path(QVO_CORPUS_DIR) / rel;
}

// The command line the back-ends send for "extract keeping folders", with
// no progress window and without overwriting.
struct LibraryUse {
    const Archiver *archiver;
    std::string command;  // before the quoted paths
    bool destSlash;       // unrar32 gets the folder with a trailing separator
};

inline std::string extractLine(const LibraryUse &use, const std::filesystem::path &archive,
                               const std::filesystem::path &dest)
{
    std::string d = dest.string();
    if (use.destSlash)
        d += "/";
    return use.command + quoted(archive) + " \"" + d + "\"";
}

// Each library, with the family of archives it asks the reader table for.
struct FamilyLibrary {
    formats::shared::ArchiveFamily family;
    LibraryUse use;
};

inline const std::vector<FamilyLibrary> &familyLibraries()
{
    using formats::shared::ArchiveFamily;
    static const std::vector<FamilyLibrary> libraries = {
        {ArchiveFamily::Lha, {&kUnlha, "x  -n ", false}},
        {ArchiveFamily::Zip, {&kUnZip, "-x -q ", false}},
        {ArchiveFamily::Many, {&kSevenZip, "x -hide ", false}},
        {ArchiveFamily::Cab, {&kCab, "-x  -i ", false}},
        {ArchiveFamily::Rar, {&kUnrar, "-x -q ", true}},
    };
    return libraries;
}

// The libraries whose readers read the matrix's `format`, as the reader
// table says.
inline std::vector<LibraryUse> librariesFor(const std::string &format)
{
    std::vector<LibraryUse> out;
    for (const FamilyLibrary &library : familyLibraries()) {
        const std::vector<std::string> read = formats::formatsRead(library.family);
        if (std::find(read.begin(), read.end(), programFormat(format)) != read.end())
            out.push_back(library.use);
    }
    return out;
}

// The formats some library reads, as the reader table says.
inline std::vector<std::string> formatsTheLibrariesRead()
{
    std::vector<std::string> out;
    for (const FamilyLibrary &library : familyLibraries())
        for (const std::string &format : formats::formatsRead(library.family))
            if (std::find(out.begin(), out.end(), format) == out.end())
                out.push_back(format);
    return out;
}

// Every library, for archives of a format no reader reads: each must
// refuse it.
inline std::vector<LibraryUse> everyLibrary()
{
    std::vector<LibraryUse> out;
    for (const FamilyLibrary &library : familyLibraries())
        out.push_back(library.use);
    return out;
}

} // namespace qvo::test
