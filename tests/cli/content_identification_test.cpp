// qvo-convert takes archives by their content: any name when the user
// names the file, archives and self-extractors (not documents) in a folder.
#include "convert/corpus_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace qvo::test;
namespace fs = std::filesystem;

namespace {

const std::string kProgram = std::string(QVO_BIN_DIR) + "/qvo-convert";

int convert(const std::string &args, const fs::path &tmp, std::string *output)
{
    return runCommand("TMPDIR=" + sh(tmp) + " QVO_LIBRARY_DIR=" + sh(QVO_LIBRARY_DIR) + " " + sh(kProgram) + " " +
                          args + " </dev/null",
                      output);
}

// The independent reader to compare with, in order of preference.
std::string referenceReader(const CorpusArchive &archive)
{
    for (const char *tool : {"lhasa", "bsdtar", "unar", "7zz", "cabextract"})
        if (std::find(archive.readers.begin(), archive.readers.end(), tool) != archive.readers.end())
            return tool;
    return {};
}

// The target's name: the source's extension, whatever its length, replaced.
std::string zipName(const std::string &fileName)
{
    const size_t dot = fileName.rfind('.');
    return (dot == std::string::npos ? fileName : fileName.substr(0, dot)) + ".zip";
}

fs::path corpus(const std::string &rel)
{
    return fs::path(QVO_CORPUS_DIR) / rel;
}

} // namespace

TEST(QvoConvertByContent, EveryReadableArchiveOfAnyNameConvertsByPath)
{
    TempDir dir;
    const std::vector<CorpusArchive> archives = readableCorpusArchives(true);
    ASSERT_GE(archives.size(), 50u);
    std::string failures;
    int converted = 0;
    for (size_t k = 0; k < archives.size(); ++k) {
        const CorpusArchive &archive = archives[k];
        std::string reader = referenceReader(archive);
        fs::path source = corpus(archive.path);
        // 7-Zip reads split pieces as pieces of one file; the joined pieces
        // are the archive the others read.
        if (archive.path.size() > 3 && archive.path.compare(archive.path.size() - 3, 3, "_aa") == 0) {
            std::string joined;
            for (char c = 'a'; fs::exists(source.string().substr(0, source.string().size() - 1) + c); ++c)
                joined += readFile(source.string().substr(0, source.string().size() - 1) + c);
            source = dir / ("joined" + std::to_string(k) + ".rar");
            writeFile(source, joined);
            reader = "unar";
        }
        const fs::path out = dir / "out" / std::to_string(k);
        // Given in place: the pieces of a split archive lie beside it.
        std::string log;
        if (convert("--to zip --same-type --out " + sh(out) + " " + sh(corpus(archive.path)), dir.path(), &log) != 0) {
            failures += "\n  " + archive.path + ": " + log;
            continue;
        }
        ++converted;
        if (reader.empty())
            continue;
        const fs::path reference = dir / "ref" / std::to_string(k), back = dir / "back" / std::to_string(k);
        if (!extractWith(reader, source, reference, &log) ||
            !extractWith("bsdtar", out / zipName(fs::path(archive.path).filename().string()), back, &log)) {
            failures += "\n  " + archive.path + ": cannot compare: " + log;
            continue;
        }
        // lhasa lower-cases the all-capital names of MS-DOS archives.
        const bool foldCase = reader == "lhasa";
        const std::string diff = treeDifferences(extractedTree(reference, foldCase), extractedTree(back, foldCase), true);
        if (!diff.empty())
            failures += "\n  " + archive.path + " (" + reader + "):" + diff;
    }
    EXPECT_EQ(failures, "");
    std::printf("[ by content ] %d of %zu archives converted\n", converted, archives.size());
}

TEST(QvoConvertByContent, FolderScanTakesArchivesAndSelfExtractorsButNoDocuments)
{
    TempDir dir;
    const fs::path shelf = dir / "shelf";
    fs::create_directories(shelf);
    const auto put = [&](const std::string &from, const std::string &name) {
        fs::copy_file(corpus(from), shelf / name);
    };
    put("lzh/lhasa/lha213/sfx.exe", "sfx.exe");
    put("lzh/lhasa/lha213/lh5.lzh", "game.lha");
    put("zip/libarchive/test_read_format_zip_bzip2.zipx", "big.zipx");
    put("zip/libarchive/test_read_format_zip_sfx", "zipsfx");
    put("lzh/lhasa/larc333/sfx.com", "larc.com");
    for (const char *part : {"part1", "part2", "part3"})
        put(std::string("rar/libarchive/test_rar_multivolume_single_file.") + part + ".rar",
            std::string("set.") + part + ".rar");
    // Office files, Java and e-book archives are ZIP inside: not ours to
    // repack.
    put("zip/dotnet-runtime-assets/compat/excel.xlsx", "report.xlsx");
    put("zip/libarchive/test_read_format_zip_jar.jar", "tool.jar");
    put("zip/libarchive/test_read_format_zip_jar.jar", "letter.docx");
    put("zip/libarchive/test_read_format_zip_jar.jar", "book.epub");
    writeFile(shelf / "readme.txt", "not an archive");
    writeFile(shelf / "game.exe", randomBytes(100000, 3));

    std::string log;
    EXPECT_EQ(convert("--to zip --same-type --out " + sh(dir / "out") + " " + sh(shelf), dir.path(), &log), 0) << log;
    EXPECT_NE(log.find("6 converted, 0 failed, 0 skipped"), std::string::npos) << log;
    EXPECT_NE(log.find((shelf / "sfx.exe").string() + " [LHA] -> "), std::string::npos) << log;
    std::vector<std::string> made;
    for (const auto &entry : fs::directory_iterator(dir / "out"))
        made.push_back(entry.path().filename().string());
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, (std::vector<std::string>{"big.zip", "game.zip", "larc.zip", "set.part1.zip", "sfx.zip",
                                              "zipsfx.zip"}));
    EXPECT_EQ(runCommand("unzip -tqq " + sh(dir / "out" / "set.part1.zip")), 0);

    // Named, a document is taken all the same; a later volume is passed
    // over with a word, which is no failure.
    EXPECT_EQ(convert("--to zip --same-type --out " + sh(dir / "named") + " " + sh(shelf / "report.xlsx") + " " +
                          sh(shelf / "set.part2.rar"),
                      dir.path(), &log),
              0)
        << log;
    EXPECT_NE(log.find((shelf / "report.xlsx").string() + " [ZIP] -> " + (dir / "named" / "report.zip").string()),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("set.part2.rar: a later volume of a multi-volume set"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(dir / "named" / "set.part2.zip"));

    // .lha is LHA: already in the target format for --to lzh, and its
    // conversion gets the target's own extension.
    EXPECT_EQ(convert("--to lzh --out " + sh(dir / "lzh") + " " + sh(shelf / "game.lha"), dir.path(), &log), 1);
    EXPECT_NE(log.find("already in the target format"), std::string::npos) << log;
    EXPECT_EQ(convert("--to lzh --same-type --out " + sh(dir / "lzh") + " " + sh(shelf / "game.lha"), dir.path(), &log),
              0)
        << log;
    EXPECT_EQ(runCommand("lhasa t " + sh(dir / "lzh" / "game.lzh")), 0);
}
