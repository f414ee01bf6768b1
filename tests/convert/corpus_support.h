// Reading corpus archives with independent tools, for end-to-end checks of
// conversions through the real archiver libraries.
#pragma once
#include "test_support.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace qvo::test {

// One row of the corpus reader matrix.
struct CorpusArchive {
    std::string path;                 // relative to the corpus folder
    std::string format;               // as the matrix says: "LZH", "ZIP", "RAR5", "TAR+gzip", ...
    std::vector<std::string> readers; // tools that read it fully
};

// The name the program gives the format the matrix calls `corpusFormat`
// ("LZH" is "LHA", "RAR4" and "RAR5" are "RAR", "TAR+gzip" is "TAR").
std::string programFormat(const std::string &corpusFormat);

// The archives the matrix marks "readable", of the formats the reader
// table reads, with the tools that read them fully: those named as their
// corpus folder (.lzh in lzh/, ...), or with `otherNames` those of every
// other name (self-extractors, .lzs, .zipx, .jar, the first piece of a
// split archive).
std::vector<CorpusArchive> readableCorpusArchives(bool otherNames = false);

// Extracts `archive` into the empty folder `dir` with `tool` ("lhasa",
// "bsdtar", "7zz", "cabextract", "unar"); false (with the tool's output in
// `log`) when the tool fails or is missing.
bool extractWith(const std::string &tool, const std::filesystem::path &archive, const std::filesystem::path &dir,
                 std::string *log = nullptr);

struct ExtractedEntry {
    char kind = '?'; // 'f' file, 'd' folder, 'l' link
    std::string data;
};

// The tree below `dir` keyed by relative name.  Names that are not UTF-8
// are decoded from CP932 (readers write raw bytes for such names); ASCII
// letters are lower-cased when `foldCase`.
std::map<std::string, ExtractedEntry> extractedTree(const std::filesystem::path &dir, bool foldCase = false);

// Differences between a reference tree and a converted one: files (names,
// sizes, contents) always, folders when `compareFolders`; links are left
// out (formats and readers treat them differently).  Empty when equal.
std::string treeDifferences(const std::map<std::string, ExtractedEntry> &reference,
                            const std::map<std::string, ExtractedEntry> &converted, bool compareFolders);

} // namespace qvo::test
