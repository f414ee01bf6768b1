// Every archive of the shared corpus that is expected readable and that
// some independent reader reads fully: our library's own command function
// must give the same tree (names, folders, sizes, contents) as that reader.
//
// Readers decode names differently (lhasa lower-cases all-capital DOS names,
// 7zz and cabextract do not decode CP932), so names are compared without
// ASCII case, and the archives listed in kNamesDiffer are compared by the
// sizes and contents of their files only.  kNotExtracted lists the readable
// archives we fail on purpose or cannot read, with the reason.
#include "corpus_support.h"

#include "archivers/include/qvo_archiver.h"
#include "base/ascii.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace fs = std::filesystem;
using namespace qvo::test;

namespace {

// Readable archives our libraries refuse or cannot decode.
const std::map<std::string, std::string> kNotExtracted = {
    {"lzh/lhasa/lh2_222/easubdir.lzh", "OS/2 EA file \"subdir\" clashes with folder subdir/ (lhasa, 7zz, unar and bsdtar fail too)"},
    {"lzh/lhasa/lha_unix114i/h1_symlink3.lzh", "symbolic link to an absolute path: refused"},
    {"lzh/lhasa/lha_unix114i/h2_symlink3.lzh", "symbolic link to an absolute path: refused"},
    {"zip/libarchive/test_symlink_1.zip", "insecure.link points outside the destination: refused"},
    {"zip/libarchive/test_read_format_zip_symlink_unsupported_compression.zip",
     "link stored with an unknown method: refused as corrupt"},
    {"cab/libmspack/cabd/search_basic.cab",
     "two copies of one cabinet: a repeated name would replace a member, refused with overwrite too"},
    {"cab/libmspack/cabextract/search.cab",
     "cabinets inside cabinets found by searching: repeated names refused, with overwrite too"},
    {"cab/libmspack/cabextract/utf8-stresstest.cab", "names flagged UTF-8 that are not, some empty or alike: refused"},
    {"rar/rarfile/rar3-symlink-unix.rar", "random_link points outside the destination: refused"},
    {"rar/rarfile/rar5-symlink-unix.rar", "a link points outside the destination: refused"},
    {"rar/rarfile/rar5-symlink-win.rar", "Windows links, one pointing outside the destination: refused"},
    {"zip/libarchive/test_read_format_zip_extra_padding.zip",
     "no end of central directory record: refused as damaged, as members could be missing"},
    {"lzh/libarchive/test_fuzz.lzh",
     "the same members stored once per header level: repeats refused, with overwrite too"},
    {"zip/dotnet-runtime-assets/StrangeZipFiles/filenameTimeAndSizesDifferentInLH.zip",
     "local header sizes disagree with the central directory: refused as corrupt"},
};

// Archives whose member names the oracle decodes differently from us (CP932
// versus Latin-1/OEM guesses, Mac data as stored versus MacBinary stripped):
// compared by file sizes and contents.
const std::set<std::string> kNamesDiffer = {
    "lzh/libarchive/test_read_format_lha_filename_cp932.lzh", // 表.txt, 漢字.txt; lhasa leaves CP932
    "lzh/libarchive/test_read_format_lha_filename_utf16.lzh", // UTF-16 headers; lhasa ignores them
    "zip/libarchive/test_read_format_zip_filename_cp866.zip",  // CP866: no reader decodes it alike
    "zip/libarchive/test_read_format_zip_filename_koi8r.zip",  // KOI8-R, which bsdtar reads as CP932
    "zip/libarchive/test_read_format_zip_filename_utf8_ru2.zip", // one unmarked KOI8-R name, as above
    "zip/zip2/windows-7zip.zip",                               // 0x7075 name; bsdtar with a charset ignores it
    "cab/libarchive/test_read_format_cab_filename_cp932.cab",  // cabextract takes CP932 as Latin-1
    "cab/libmspack/cabextract/encoding-koi8.cab",              // not CP932: each reader guesses
    "cab/libmspack/cabextract/encoding-latin1.cab",
    "cab/libmspack/cabextract/encoding-sjis.cab",
};

// Archives we extract more completely than any reader that reads them:
// only success is checked.
const std::map<std::string, std::string> kOracleIncomplete = {
    {"lzh/lhasa/lha_amiga_122/lh0_dirs_bug.lzh",
     "lhasa stops at the folder entry without a name and drops the last two files (compared with 7zz in "
     "lha_odd_archives_test)"},
    {"rar/libarchive/test_read_format_rar5_hardlink.rar", "unar drops the hard link"},
    {"rar/libarchive/test_read_format_rar5_unicode.rar", "unar drops the hard link"},
    {"rar/rarfile/rar5-hlink.rar", "unar drops the hard links"},
    {"rar/rarfile/rar5-dups.rar", "unar keeps one of the repeated names, as a link"},
    {"rar/libarchive/test_read_format_rar5_extra_field_version.rar", "unar drops the older file version (name;1)"},
    {"rar/libarchive/test_read_format_rar5_multiarchive_solid.part01.rar", "bsdtar reads only the first volume"},
};

// Per format, the readers to compare with, best first.
std::vector<std::string> oraclesFor(const std::string &format)
{
    if (format == "LHA")
        return {"lhasa", "7zz", "unar", "bsdtar"};
    if (format == "CAB")
        return {"cabextract", "7zz", "bsdtar", "unar"};
    if (format == "RAR")
        return {"unar", "bsdtar"}; // bsdtar reads no volume sets
    return {"bsdtar", "7zz", "unar"};
}

std::string oracleCommand(const std::string &reader, const fs::path &archive, const fs::path &out)
{
    std::string a = sh(archive), o = sh(out);
    if (reader == "lhasa")
        return "cd " + o + " && timeout 60 lhasa xq " + a;
    if (reader == "bsdtar")
        return "cd " + o + " && LC_ALL=C.UTF-8 timeout 60 bsdtar --options hdrcharset=CP932 -xf " + a;
    if (reader == "7zz")
        return "timeout 60 7zz x -y -bd -o" + o + " " + a + " >/dev/null";
    if (reader == "cabextract")
        return "timeout 60 cabextract -q -d " + o + " " + a;
    return "LC_ALL=C.UTF-8 timeout 60 unar -q -D -f -o " + o + " " + a;
}

std::map<std::string, TreeEntry> caseless(const std::map<std::string, TreeEntry> &tree)
{
    std::map<std::string, TreeEntry> out;
    for (const auto &[k, v] : tree)
        out[qvo::base::asciiLower(k)] = v;
    return out;
}

std::multiset<std::pair<uint64_t, uint64_t>> fileContents(const std::map<std::string, TreeEntry> &tree)
{
    std::multiset<std::pair<uint64_t, uint64_t>> out;
    for (const auto &[k, v] : tree) {
        if (v.type == 'f')
            out.insert({v.size, v.hash});
    }
    return out;
}

std::string listing(const std::map<std::string, TreeEntry> &tree)
{
    std::string s;
    for (const auto &[k, v] : tree)
        s += "  " + std::string(1, v.type) + " " + k + " " + std::to_string(v.size) + "\n";
    return s;
}

void checkFormat(const std::string &format)
{
    auto rows = corpusRows();
    ASSERT_FALSE(rows.empty()) << "READERS.md not found below " << QVO_CORPUS_DIR;
    size_t compared = 0;
    for (const CorpusRow &row : rows) {
        if (programFormat(row.format) != format || row.path.rfind("bad/", 0) == 0 || row.expected.rfind("readable", 0) != 0)
            continue;
        if (row.expected != "readable" && row.expected != "readable as a set")
            continue;
        std::vector<std::string> oracles;
        // bsdtar cuts names at a NUL byte where unar, like us, writes "_".
        if ((row.path.find("NullChar") != std::string::npos || row.path.find("magic_in_filename") != std::string::npos)
            && row.readerOk("unar"))
            oracles.push_back("unar");
        for (const std::string &r : oraclesFor(format)) {
            if (row.readerOk(r) && (oracles.empty() || oracles.front() != r))
                oracles.push_back(r);
        }
        bool skipped = kNotExtracted.count(row.path) > 0;
        fs::path archive = corpusPath(row.path);
        for (const LibraryUse &use : librariesFor(row.format)) {
            SCOPED_TRACE(row.path + " via " + use.archiver->commandFunction);
            TempDir dir;
            fs::create_directories(dir / "ours");
            CallOutcome o = callArchiver(*use.archiver, extractLine(use, archive, dir / "ours"));
            ASSERT_TRUE(o.finished) << describe(o);
            if (skipped) {
                EXPECT_NE(o.result, 0) << "listed as not extracted but succeeded";
                continue;
            }
            if (oracles.empty())
                continue; // no independent reader reads it fully: no reference
            if (kOracleIncomplete.count(row.path)) {
                EXPECT_EQ(o.result, 0) << describe(o);
                continue;
            }
            // The first reader that extracts it here is the reference (bsdtar
            // gives up on names that are not CP932).
            std::string oracle;
            for (const std::string &r : oracles) {
                fs::remove_all(dir / "theirs");
                fs::create_directories(dir / "theirs");
                if (runCommand(oracleCommand(r, archive, dir / "theirs")) == 0) {
                    oracle = r;
                    break;
                }
            }
            EXPECT_EQ(o.result, 0) << describe(o) << " (oracle " << oracle << ")";
            if (oracle.empty()) {
                ADD_FAILURE() << "no independent reader extracts it here";
                continue;
            }
            auto ours = caseless(snapshot(dir / "ours"));
            auto theirs = caseless(snapshot(dir / "theirs"));
            ++compared;
            if (kNamesDiffer.count(row.path)) {
                EXPECT_EQ(fileContents(ours), fileContents(theirs))
                    << "ours:\n" << listing(ours) << oracle << ":\n" << listing(theirs);
            } else {
                EXPECT_EQ(ours, theirs) << "ours:\n" << listing(ours) << oracle << ":\n" << listing(theirs);
            }
        }
    }
    EXPECT_GT(compared, 0u);
}

} // namespace

// Every format a library reads.
class CorpusReadable : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusReadable, MatchesIndependentReaders)
{
    checkFormat(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Formats, CorpusReadable, ::testing::ValuesIn(formatsTheLibrariesRead()),
                         [](const ::testing::TestParamInfo<std::string> &format) { return format.param; });
