// The names of the archives unlha32, Zip32J and cab32 write, as independent
// readers extract them: LZH names in CP932 when they all fit (else UTF-8),
// names composed to NFC, UTF-16 headers that libarchive takes, and CP932
// names in every format on request (QVO_SWITCH_CP932_NAMES).
#include "archivers/include/qvo_archiver.h"
#include "test_support.h"
#include "text/cp932.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <map>
#include <set>

using namespace qvo::test;
using namespace qvo::archivers;
namespace fs = std::filesystem;

namespace {

// Calls a library's command function from inside `dir` (the ZIP and CAB
// back-ends pack the current directory) and comes back.
int32_t callIn(const QvoArchiverName &library, const fs::path &dir, const std::string &command)
{
    void *handle = dlopen((std::string(QVO_LIBRARY_DIR "/") + library.file).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return -1;
    auto *fn = reinterpret_cast<QvoCommandFunction *>(dlsym(handle, library.commandFunction));
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    char output[64];
    const int32_t rc = fn ? fn(nullptr, command.c_str(), output, sizeof output) : -1;
    fs::current_path(previous);
    return rc;
}

std::string quote(const fs::path &p)
{
    return "\"" + p.string() + "\"";
}

int32_t packLzh(const fs::path &src, const fs::path &arc, const std::string &extra = "")
{
    return callIn(qvo_unlha32, src, "a -x1 -n -r2 -jm2 " + extra + quote(arc) + " " + quote(src.string() + "/"));
}

int32_t packZip(const fs::path &src, const fs::path &arc, const std::string &extra = "")
{
    return callIn(qvo_zip32j, src, "-r -q -6 " + extra + quote(arc) + " *.*");
}

int32_t packCab(const fs::path &src, const fs::path &arc, const std::string &extra = "")
{
    return callIn(qvo_cab32, src, "-a -r -i -mz " + extra + quote(arc) + " *.*");
}

std::string cp932(const std::string &utf8)
{
    return qvo::text::utf8ToCp932(utf8).value_or("<no CP932 form>");
}

// Files below `dir` by their name bytes, relative, with their contents.
std::map<std::string, std::string> filesBelow(const fs::path &dir)
{
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it)
        if (it->is_regular_file())
            files[it->path().lexically_relative(dir).generic_string()] = readFile(it->path());
    return files;
}

// What `command` (given the archive and the destination) extracts.
std::map<std::string, std::string> extractedBy(const std::string &command, const fs::path &arc)
{
    TempDir out;
    std::string log;
    EXPECT_EQ(runCommand(command + " " + sh(arc) + " " + sh(out.path()) + " </dev/null", &log), 0)
        << command << ": " << log;
    return filesBelow(out.path());
}

// The readers, each as "command ARCHIVE DESTINATION".
const char *const kLhasa = "f() { lhasa xqw=\"$2\" \"$1\"; }; f";
const char *const kBsdtar = "f() { bsdtar -xf \"$1\" -C \"$2\"; }; f";
const char *const kBsdtarCp932 = "f() { bsdtar --options hdrcharset=CP932 -xf \"$1\" -C \"$2\"; }; f";
const char *const kUnar = "f() { unar -q -f -D -o \"$2\" \"$1\"; }; f";
const char *const kUnarUtf8 = "f() { unar -q -f -D -e utf-8 -o \"$2\" \"$1\"; }; f";
const char *const kSevenZip = "f() { 7zz x -y -o\"$2\" \"$1\"; }; f";
const char *const kUnzip = "f() { unzip -q \"$1\" -d \"$2\"; }; f";
const char *const kCabextract = "f() { cabextract -q -d \"$2\" \"$1\"; }; f";
const char *const kCabextractCp932 = "f() { cabextract -q -e CP932 -d \"$2\" \"$1\"; }; f";

// Every entry of `files` (UTF-8 name -> content) with its name in CP932.
std::map<std::string, std::string> inCp932(const std::map<std::string, std::string> &files)
{
    std::map<std::string, std::string> out;
    for (const auto &[name, data] : files)
        out[cp932(name)] = data;
    return out;
}

void writeTree(const fs::path &root, const std::map<std::string, std::string> &files)
{
    for (const auto &[name, data] : files)
        writeFile(root / name, data);
}

// Japanese names: 表, ソ, 能 end in 0x5C in CP932; 一 (U+4E00) and a
// folder beginning with it have UTF-16 forms starting with a 0x00 byte;
// 丁 (U+4E01) and 万 (U+4E07) do not.
const std::map<std::string, std::string> kJapaneseTree = {
    {"日本語/表ソ能/予定表.txt", "予定\n"},
    {"一覧.txt", "ichiran\n"},
    {"一覧/丁寧な説明.txt", "teinei\n"},
    {"万年筆のメモ.txt", "mannen\n"},
    {"丁目.txt", "chome\n"},
    {"ソフトウェア.txt", "soft\n"},
    {"readme.txt", "ascii\n"},
};

// "が" and "パ" as a Mac writes them: letter, then the combining mark.
const std::string kGaNfd = "\xE3\x81\x8B\xE3\x82\x99";
const std::string kPaNfd = "\xE3\x83\x8F\xE3\x82\x9A";

} // namespace

// An archive whose names all have a CP932 form is written in CP932 with
// code page 932: lhasa writes the exact CP932 bytes, libarchive and unar
// decode them (unar by guessing, which these names are enough for), and
// no reader meets a UTF-16 header it refuses.
TEST(WrittenLzhNames, JapaneseNamesGoOutInCp932)
{
    TempDir tmp;
    writeTree(tmp / "src", kJapaneseTree);
    const fs::path arc = tmp / "jp.lzh";
    ASSERT_EQ(packLzh(tmp / "src", arc), kOk);

    EXPECT_EQ(extractedBy(kLhasa, arc), inCp932(kJapaneseTree));
    for (const char *reader : {kBsdtar, kBsdtarCp932, kUnar})
        EXPECT_EQ(extractedBy(reader, arc), kJapaneseTree) << reader;

    // 7-Zip writes the name bytes as they are, and cuts names at a 0x5C
    // byte even inside a CP932 character (its fault): the others come out
    // as their exact CP932 bytes.
    const std::map<std::string, std::string> sevenZip = extractedBy(kSevenZip, arc);
    for (const auto &[name, data] : inCp932(kJapaneseTree)) {
        if (name.find('\\') != std::string::npos)
            continue;
        auto it = sevenZip.find(name);
        ASSERT_NE(it, sevenZip.end()) << name;
        EXPECT_EQ(it->second, data) << name;
    }

    // Our own reader takes the UTF-16 headers or the code page.
    TempDir ours;
    ASSERT_EQ(callIn(qvo_unlha32, ours.path(), "x  -n " + quote(arc) + " " + quote(ours.path().string() + "/")), kOk);
    EXPECT_EQ(filesBelow(ours.path()), kJapaneseTree);
}

// One name without a CP932 form (Ā, 〜, which CP932 would turn into ～)
// keeps the whole archive in UTF-8; Ā (U+0100) also begins with a 0x00
// byte in UTF-16, which stopped bsdtar before.
TEST(WrittenLzhNames, OneNameOutsideCp932KeepsTheArchiveInUtf8)
{
    TempDir tmp;
    std::map<std::string, std::string> tree = kJapaneseTree;
    tree["Āb/〜波.txt"] = "wave\n";
    writeTree(tmp / "src", tree);
    const fs::path arc = tmp / "utf8.lzh";
    ASSERT_EQ(packLzh(tmp / "src", arc), kOk);
    // unar guesses the encoding of unmarked bytes; it is told here.
    for (const char *reader : {kLhasa, kBsdtar, kSevenZip, kUnarUtf8})
        EXPECT_EQ(extractedBy(reader, arc), tree) << reader;

    // Asked for CP932 names, the archive fails and nothing is written.
    const fs::path forced = tmp / "forced.lzh";
    EXPECT_EQ(packLzh(tmp / "src", forced, QVO_SWITCH_CP932_NAMES " "), kErrNameEncoding);
    EXPECT_FALSE(fs::exists(forced));
    fs::remove_all(tmp / "src/Āb");
    ASSERT_EQ(packLzh(tmp / "src", forced, QVO_SWITCH_CP932_NAMES " "), kOk);
    EXPECT_EQ(extractedBy(kLhasa, forced), inCp932(kJapaneseTree));
}

// Names made on a Mac (NFD) are composed in every format: CP932 can then
// hold them.  A folder holding both forms of one name keeps both as they
// are, so neither replaces the other.
TEST(WrittenNames, DecomposedNamesAreComposedUnlessTwoWouldBecomeOne)
{
    TempDir tmp;
    writeFile(tmp / "src" / (kGaNfd + "ぞう") / (kPaNfd + "ン.txt"), "pan\n");
    const std::map<std::string, std::string> composed = {{"がぞう/パン.txt", "pan\n"}};
    ASSERT_EQ(packLzh(tmp / "src", tmp / "mac.lzh"), kOk);
    EXPECT_EQ(extractedBy(kLhasa, tmp / "mac.lzh"), inCp932(composed));
    ASSERT_EQ(packZip(tmp / "src", tmp / "mac.zip"), kOk);
    EXPECT_EQ(extractedBy(kUnzip, tmp / "mac.zip"), composed);
    ASSERT_EQ(packCab(tmp / "src", tmp / "mac.cab"), kOk);
    EXPECT_EQ(extractedBy(kCabextract, tmp / "mac.cab"), composed);

    writeFile(tmp / "src" / "がぞう" / "パン.txt", "composed\n");
    const std::map<std::string, std::string> both = {{kGaNfd + "ぞう/" + kPaNfd + "ン.txt", "pan\n"},
                                                     {"がぞう/パン.txt", "composed\n"}};
    // (libarchive composes what it decodes itself, so it would make the
    // two one again: lhasa writes the bytes as stored.)
    ASSERT_EQ(packLzh(tmp / "src", tmp / "both.lzh"), kOk);
    EXPECT_EQ(extractedBy(kLhasa, tmp / "both.lzh"), both);
    ASSERT_EQ(packZip(tmp / "src", tmp / "both.zip"), kOk);
    EXPECT_EQ(extractedBy(kUnzip, tmp / "both.zip"), both);
}

// With CP932 names asked for, ZIP names go without flag bit 11 and cabinet
// names without the UTF-8 attribute: Info-ZIP unzip writes the exact bytes,
// libarchive and cabextract decode them when told CP932.  A name without
// an exact CP932 form fails the archive; nothing is written.
TEST(WrittenNames, ZipAndCabinetNamesInCp932OnRequest)
{
    TempDir tmp;
    writeTree(tmp / "src", kJapaneseTree);
    const std::string cp932Switch = QVO_SWITCH_CP932_NAMES " ";

    const fs::path zip = tmp / "jp.zip";
    ASSERT_EQ(packZip(tmp / "src", zip, cp932Switch), kOk);
    const std::string bytes = readFile(zip);
    for (size_t at = bytes.find("PK\x03\x04"); at != std::string::npos; at = bytes.find("PK\x03\x04", at + 4))
        EXPECT_EQ(uint8_t(bytes[at + 7]) & 0x08, 0) << "flag bit 11 at " << at;
    EXPECT_EQ(extractedBy(kUnzip, zip), inCp932(kJapaneseTree));
    EXPECT_EQ(extractedBy(kBsdtarCp932, zip), kJapaneseTree);

    const fs::path cab = tmp / "jp.cab";
    ASSERT_EQ(packCab(tmp / "src", cab, cp932Switch), kOk);
    EXPECT_EQ(extractedBy(kCabextractCp932, cab), kJapaneseTree);
    EXPECT_EQ(extractedBy(kBsdtarCp932, cab), kJapaneseTree);

    // Without the switch both stay in marked UTF-8.
    ASSERT_EQ(packZip(tmp / "src", zip), kOk);
    EXPECT_EQ(extractedBy(kUnzip, zip), kJapaneseTree);
    ASSERT_EQ(packCab(tmp / "src", cab), kOk);
    EXPECT_EQ(extractedBy(kCabextract, cab), kJapaneseTree);

    writeFile(tmp / "src/〜.txt", "wave\n");
    EXPECT_EQ(packZip(tmp / "src", tmp / "no.zip", cp932Switch), kErrNameEncoding);
    EXPECT_EQ(packCab(tmp / "src", tmp / "no.cab", cp932Switch), kErrNameEncoding);
    EXPECT_FALSE(fs::exists(tmp / "no.zip"));
    EXPECT_FALSE(fs::exists(tmp / "no.cab"));
}

// A link in a CP932 ZIP names its target in CP932 too, so that it still
// leads to its file where the names come out as CP932 bytes.
TEST(WrittenNames, LinksInCp932ZipLeadToTheirFiles)
{
    TempDir tmp;
    writeFile(tmp / "src/表.txt", "target\n");
    fs::create_symlink("表.txt", tmp / "src/リンク");
    const fs::path zip = tmp / "links.zip";
    ASSERT_EQ(packZip(tmp / "src", zip, QVO_SWITCH_CP932_NAMES " "), kOk);
    TempDir out;
    std::string log;
    ASSERT_EQ(runCommand("unzip -q " + sh(zip) + " -d " + sh(out.path()), &log), 0) << log;
    const fs::path link = out / cp932("リンク");
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link).string(), cp932("表.txt"));
    EXPECT_EQ(readFile(link), "target\n");
}
