// Formats told by content: every archive of the corpus whatever its name,
// later volumes apart, and the rule that a name stands unless the content
// plainly says otherwise.
#include "identify/archive_identify.h"
#include "identify/split_pieces.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace qvo::identify;
using namespace qvo::test;
namespace fs = std::filesystem;

namespace {

struct Row {
    std::string path;
    std::string format;
    std::string expected;
};

// The rows of the corpus reader matrix: path, format, expected outcome.
std::vector<Row> corpusRows()
{
    std::ifstream in(fs::path(QVO_CORPUS_DIR) / "READERS.md");
    std::vector<Row> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("| `", 0) != 0)
            continue;
        std::vector<std::string> cells;
        std::stringstream fields(line.substr(1));
        std::string cell;
        while (std::getline(fields, cell, '|')) {
            const size_t a = cell.find_first_not_of(" `"), b = cell.find_last_not_of(" `");
            cells.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
        }
        if (cells.size() >= 3)
            rows.push_back({cells[0], cells[1], cells[2]});
    }
    return rows;
}

ArchiveKind kindOf(const std::string &format)
{
    if (format == "LZH")
        return ArchiveKind::Lha;
    if (format == "ZIP")
        return ArchiveKind::Zip;
    if (format == "CAB")
        return ArchiveKind::Cab;
    return format.rfind("RAR", 0) == 0 ? ArchiveKind::Rar : ArchiveKind::None;
}

const char *name(ArchiveKind kind)
{
    static const char *const names[] = {"none", "LHA", "ZIP", "CAB", "RAR", "ARJ"};
    return names[static_cast<int>(kind)];
}

std::string corpus(const std::string &rel)
{
    return (fs::path(QVO_CORPUS_DIR) / rel).string();
}

} // namespace

TEST(ArchiveIdentify, EveryReadableCorpusArchiveIsKnownByItsContentAlone)
{
    std::string wrong;
    int checked = 0;
    for (const Row &row : corpusRows()) {
        // Pieces after the first of a split archive are checked below.
        if (row.expected.rfind("readable", 0) != 0 || !firstSplitPiece(corpus(row.path)).empty())
            continue;
        // The name is not given: content alone must tell, self-extractors
        // and pieces included.
        const ArchiveIdentity found = identifyArchive(corpus(row.path), ArchiveKind::None);
        ++checked;
        if (found.kind != kindOf(row.format) || found.laterVolume)
            wrong += "\n  " + row.path + ": " + name(found.kind) + (found.laterVolume ? " (later volume)" : "");
    }
    EXPECT_EQ(wrong, "");
    EXPECT_GE(checked, 450);
}

TEST(ArchiveIdentify, LaterVolumesAndPiecesAreToldApart)
{
    std::string wrong;
    int later = 0;
    for (const Row &row : corpusRows()) {
        if (row.expected != "volume of a set")
            continue;
        ++later;
        const ArchiveIdentity found = identifyArchive(corpus(row.path), ArchiveKind::None);
        if (!found.laterVolume || found.kind != kindOf(row.format))
            wrong += "\n  " + row.path + ": " + name(found.kind);
    }
    EXPECT_EQ(wrong, "");
    EXPECT_GT(later, 20);
    // Pieces of a split archive hold no signature; their first one tells.
    const ArchiveIdentity piece = identifyArchive(corpus("rar/libarchive/test_read_splitted_rar_ac"), ArchiveKind::None);
    EXPECT_EQ(piece.kind, ArchiveKind::Rar);
    EXPECT_TRUE(piece.laterVolume);
    EXPECT_EQ(splitPieceNames(corpus("rar/libarchive/test_read_splitted_rar_aa")).size(), 4u);
    EXPECT_EQ(firstSplitPiece(corpus("rar/libarchive/test_read_splitted_rar_ad")),
              corpus("rar/libarchive/test_read_splitted_rar_aa"));
    EXPECT_EQ(firstSplitPiece(corpus("rar/libarchive/test_read_splitted_rar_aa")), "");
    EXPECT_EQ(splitPieceNames(corpus("zip/libarchive/test_read_format_zip_sfx")).size(), 1u);
}

TEST(ArchiveIdentify, NameStandsUnlessTheContentPlainlySaysOtherwise)
{
    TempDir dir;
    // A ZIP named .lzh and an LHA archive named .zip: their readers would
    // only fail, the content wins.
    fs::copy_file(corpus("zip/libarchive/test_read_format_zip_jar.jar"), dir / "a.lzh");
    fs::copy_file(corpus("lzh/lhasa/lha213/lh5.lzh"), dir / "b.zip");
    EXPECT_EQ(identifyArchive((dir / "a.lzh").string(), ArchiveKind::Lha).kind, ArchiveKind::Zip);
    EXPECT_EQ(identifyArchive((dir / "b.zip").string(), ArchiveKind::Zip).kind, ArchiveKind::Lha);
    // A self-extractor under its own format's name stays; so does a damaged
    // or unreadable file, whose reader reports what is wrong with it.
    EXPECT_EQ(identifyArchive(corpus("lzh/lhasa/lha213/sfx.exe"), ArchiveKind::Lha).kind, ArchiveKind::Lha);
    writeFile(dir / "notes.lzh", "plain text, no archive");
    EXPECT_EQ(identifyArchive((dir / "notes.lzh").string(), ArchiveKind::Lha).kind, ArchiveKind::Lha);
    EXPECT_EQ(identifyArchive((dir / "gone.cab").string(), ArchiveKind::Cab).kind, ArchiveKind::Cab);
    EXPECT_EQ(identifyArchive((dir / "notes.lzh").string(), ArchiveKind::None).kind, ArchiveKind::None);
    EXPECT_EQ(identifyArchive(dir.path().string(), ArchiveKind::None).kind, ArchiveKind::None);

    // Method names and ARJ ids in a program's code are no archive: a
    // header must hold its checksum.  Nor is a stray end record whose directory is not there.
    std::string program = randomBytes(200000, 7);
    for (size_t at = 1000; at < program.size() - 100; at += 5000) {
        program.replace(at, 5, "-lh5-");
        program.replace(at + 2000, 4, "Rar!");
        program.replace(at + 3000, 4, "MSCF");
        program.replace(at + 4000, 4, std::string("\x60\xEA\x40\x00", 4)); // an ARJ id and size
    }
    program.replace(program.size() - 30, 4, std::string("PK\x05\x06", 4));
    writeFile(dir / "game.exe", program);
    EXPECT_EQ(identifyArchive((dir / "game.exe").string(), ArchiveKind::None).kind, ArchiveKind::None);

    // The same program with an archive appended is a self-extractor.
    writeFile(dir / "setup.exe", program + readFile(corpus("lzh/lhasa/lha213/lh5.lzh")));
    const ArchiveIdentity sfx = identifyArchive((dir / "setup.exe").string(), ArchiveKind::None);
    EXPECT_EQ(sfx.kind, ArchiveKind::Lha);
    EXPECT_TRUE(sfx.behindStub);
    writeFile(dir / "zipsfx", program + readFile(corpus("zip/libarchive/test_read_format_zip_jar.jar")));
    EXPECT_EQ(identifyArchive((dir / "zipsfx").string(), ArchiveKind::None).kind, ArchiveKind::Zip);
    // Past the head that is searched, an archive is not looked for.
    writeFile(dir / "big.exe", std::string(kHeadScanLimit, 'x') + readFile(corpus("lzh/lhasa/lha213/lh5.lzh")));
    EXPECT_EQ(identifyArchive((dir / "big.exe").string(), ArchiveKind::None).kind, ArchiveKind::None);
}
