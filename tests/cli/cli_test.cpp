// qvo-convert as scripts use it: options, output lines, exit status.
#include "test_support.h"

#include <filesystem>
#include <string>

using namespace qvo::test;
namespace fs = std::filesystem;

namespace {

const std::string kProgram = std::string(QVO_BIN_DIR) + "/qvo-convert";

struct Result {
    int status;
    std::string output;
};

// Runs qvo-convert with the real libraries and a private working root.
// Status words follow the language: Japanese (LANGUAGE=ja) unless
// `language` names another; with "" no language variable is set at all.
Result convert(const std::string &args, const fs::path &tmp = fs::temp_directory_path(),
               const std::string &libraries = QVO_LIBRARY_DIR, const std::string &language = "ja")
{
    const std::string locale = language.empty() ? "env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG"
                                                : "env LANGUAGE=" + sh(language);
    Result r;
    r.status = runCommand(locale + " TMPDIR=" + sh(tmp) + " QVO_LIBRARY_DIR=" + sh(libraries) + " " + sh(kProgram) +
                              " " + args + " </dev/null",
                          &r.output);
    return r;
}

// A ZIP of the tree a.txt, sub/b.txt made by Info-ZIP.
fs::path makeZip(const TempDir &dir, const std::string &name)
{
    writeFile(dir / "tree" / "a.txt", "alpha\n");
    writeFile(dir / "tree" / "sub" / "b.txt", std::string(5000, 'b'));
    const fs::path zip = dir / name;
    fs::create_directories(zip.parent_path());
    EXPECT_EQ(runCommand("cd " + sh(dir / "tree") + " && zip -qr " + sh(zip) + " ."), 0);
    return zip;
}

} // namespace

TEST(QvoConvert, UsageErrorsExitTwo)
{
    for (const std::string &args :
         {std::string(""), std::string("a.lzh"), std::string("--to rar --out /tmp a.lzh"),
          std::string("--to zip a.lzh"), std::string("--to zip --out /tmp --same-folder a.lzh"),
          std::string("--to zip --level lh5 --out /tmp a.lzh"), std::string("--to lzh --level 9 --out /tmp a.lzh"),
          std::string("--to cab --level lzx:22 --out /tmp a.cab"), std::string("--to zip --out /tmp"),
          std::string("--bogus --to zip --out /tmp a.lzh"), std::string("--to"),
          std::string("--names EBCDIC --to zip --out /tmp a.lzh"), std::string("--to zip --out /tmp a.lzh --names")}) {
        const Result r = convert(args);
        EXPECT_EQ(r.status, 2) << args << "\n" << r.output;
        EXPECT_NE(r.output.find("qvo-convert: "), std::string::npos) << args;
    }
}

TEST(QvoConvert, HelpAndVersion)
{
    Result r = convert("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("--same-folder"), std::string::npos);
    r = convert("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.rfind("qvo-convert ", 0), 0u);
}

TEST(QvoConvert, MissingLibraryOrInputsFailWithOne)
{
    // qvo-convert neither reads nor writes a settings file: one that the
    // desktop program left beside the programs stays as it is, and none
    // appears where there was none.
    const fs::path ini = fs::path(QVO_BIN_DIR) / "qvo3.ini";
    const bool iniBefore = fs::exists(ini);
    const std::string iniText = iniBefore ? readFile(ini) : std::string();
    TempDir dir;
    const fs::path zip = makeZip(dir, "in/a.zip");
    Result r = convert("--to zip --out " + sh(dir / "out") + " " + sh(zip), dir.path(), (dir / "nolibs").string());
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("not available"), std::string::npos) << r.output;

    writeFile(dir / "notes.txt", "text");
    r = convert("--to lzh --out " + sh(dir / "out") + " " + sh(dir / "notes.txt") + " " + sh(dir / "gone.lzh"),
                dir.path());
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("notes.txt: not an archive"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("変換待ち  " + (dir / "gone.lzh").string() + "  (not found)"), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("0 converted, 0 failed, 2 skipped"), std::string::npos) << r.output;
    EXPECT_EQ(fs::exists(ini), iniBefore);
    if (iniBefore) {
        EXPECT_EQ(readFile(ini), iniText);
    }
}

TEST(QvoConvert, StatusWordsFollowTheLocale)
{
    TempDir dir;
    const fs::path zip = makeZip(dir, "in/a.zip");
    const std::string args = "--to lzh --out " + sh(dir / "out") + " " + sh(zip);
    Result r = convert(args, dir.path(), QVO_LIBRARY_DIR, "en_US");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.rfind("Converted  " + zip.string() + " [ZIP] -> " + (dir / "out" / "a.lzh").string() + "\n", 0), 0u)
        << r.output;
    // The same archive again: its target is there now.
    r = convert(args, dir.path(), QVO_LIBRARY_DIR, "de:ja");
    EXPECT_EQ(r.output.rfind("Target exists  " + zip.string(), 0), 0u) << r.output;
    r = convert(args, dir.path(), QVO_LIBRARY_DIR, "ja_JP:en");
    EXPECT_EQ(r.output.rfind("同名ファイルが存在  " + zip.string(), 0), 0u) << r.output;
    // An environment that names no language at all speaks English too.
    r = convert(args, dir.path(), QVO_LIBRARY_DIR, "");
    EXPECT_EQ(r.output.rfind("Target exists  ", 0), 0u) << r.output;
}

TEST(QvoConvert, ConvertsFilesAndFoldersAndReportsEachArchive)
{
    TempDir dir;
    const fs::path one = makeZip(dir, "in/one.zip");
    makeZip(dir, "in/deeper/two.zip");
    writeFile(dir / "in" / "readme.txt", "not an archive: ignored in folders");
    const fs::path out = dir / "out";

    // A folder alone adds only the archives directly inside it.
    Result r = convert("--to zip --same-type --level 9 --upper-ext --out " + sh(out) + " " + sh(dir / "in"),
                       dir.path());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("変換成功  " + one.string() + " [ZIP] -> " + (out / "one.ZIP").string()),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("1 converted, 0 failed, 0 skipped"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(out / "two.ZIP"));
    EXPECT_EQ(runCommand("unzip -tqq " + sh(out / "one.ZIP")), 0);

    // --recursive descends; the existing target is a skip without --overwrite.
    r = convert("--to zip --same-type --upper-ext --recursive --out " + sh(out) + " " + sh(dir / "in"), dir.path());
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("同名ファイルが存在  " + one.string()), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("1 converted, 0 failed, 1 skipped"), std::string::npos) << r.output;
    EXPECT_TRUE(fs::exists(out / "two.ZIP"));

    // Without --same-type an archive already in the target format stays.
    r = convert("--to zip --quiet --out " + sh(dir / "other") + " " + sh(one), dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("already in the target format"), std::string::npos) << r.output;
    // ... and next to itself it would be its own target.
    r = convert("--to zip --quiet --same-type --same-folder " + sh(one), dir.path());
    EXPECT_NE(r.output.find("同名ファイルが存在"), std::string::npos) << r.output;

    // Relative paths count from where the program was started, although
    // packing runs inside the working folder.
    std::string log;
    EXPECT_EQ(runCommand("cd " + sh(dir.path()) + " && TMPDIR=" + sh(dir.path()) + " QVO_LIBRARY_DIR=" +
                             sh(QVO_LIBRARY_DIR) + " " + sh(kProgram) +
                             " --to lzh --level lh7 --quiet --out rel in/one.zip",
                         &log),
              0)
        << log;
    EXPECT_EQ(runCommand("lhasa t " + sh(dir / "rel" / "one.lzh")), 0);

    // --delete-source removes the source once the new archive matched it.
    r = convert("--to zip --same-type --overwrite --delete-source --out " + sh(dir / "moved") + " " + sh(one),
                dir.path());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_FALSE(fs::exists(one));
    EXPECT_EQ(runCommand("unzip -tqq " + sh(dir / "moved" / "one.zip")), 0);
}

TEST(QvoConvert, TwoProgramsAtOnceBothSucceed)
{
    TempDir dir;
    for (int k = 0; k < 12; ++k) {
        makeZip(dir, "a/" + std::to_string(k) + ".zip");
        makeZip(dir, "b/" + std::to_string(k) + ".zip");
    }
    // Both share one working root, and each cleans it as it starts.
    const std::string common = "TMPDIR=" + sh(dir.path()) + " QVO_LIBRARY_DIR=" + sh(QVO_LIBRARY_DIR) + " " +
                               sh(kProgram) + " --to zip --same-type --quiet ";
    std::string log;
    const int status = runCommand("(" + common + "--out " + sh(dir / "outa") + " " + sh(dir / "a") + " & " + common +
                                      "--out " + sh(dir / "outb") + " " + sh(dir / "b") +
                                      "; b=$?; wait $!; a=$?; exit $((a * 10 + b)))",
                                  &log);
    EXPECT_EQ(status, 0) << log;
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(runCommand("unzip -tqq " + sh(dir / "outa" / (std::to_string(k) + ".zip"))), 0);
        EXPECT_EQ(runCommand("unzip -tqq " + sh(dir / "outb" / (std::to_string(k) + ".zip"))), 0);
    }
}

// A link leading outside the archive's folder is carried as a link where
// the target format holds links; a cabinet leaves it out, and the line of
// that archive says so.
TEST(QvoConvert, LineSaysWhenACabinetLeftOutLinksLeadingOutside)
{
    TempDir dir;
    const fs::path source = dir / "in" / "links.zip";
    fs::create_directories(source.parent_path());
    fs::copy_file(fs::path(QVO_CORPUS_DIR) / "zip/libarchive/test_symlink_1.zip", source);
    Result r = convert("--to cab --out " + sh(dir / "out") + " " + sh(source), dir.path());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("変換成功  " + source.string() + " [ZIP] -> " + (dir / "out" / "links.cab").string() +
                            "  (1 symbolic link leading outside the archive left out: a CAB archive holds no links)\n"),
              std::string::npos)
        << r.output;

    r = convert("--to lzh --out " + sh(dir / "out") + " " + sh(source), dir.path());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("変換成功  " + source.string() + " [ZIP] -> " + (dir / "out" / "links.lzh").string() + "\n"),
              std::string::npos)
        << r.output;
}

// --name-encoding cp932 writes CP932 names into every format (Info-ZIP
// unzip writes them as they are stored); an archive holding a name CP932
// cannot hold fails, and its line names it.
TEST(QvoConvert, NameEncodingCp932WritesCp932NamesOrSaysWhichNameCannot)
{
    TempDir dir;
    writeFile(dir / "tree" / "表ソ能" / "予定表.txt", "yotei\n");
    const fs::path zip = dir / "in" / "jp.zip";
    fs::create_directories(zip.parent_path());
    ASSERT_EQ(runCommand("cd " + sh(dir / "tree") + " && zip -qr " + sh(zip) + " ."), 0);
    Result r = convert("--to zip --same-type --name-encoding cp932 --out " + sh(dir / "out") + " " + sh(zip),
                       dir.path());
    EXPECT_EQ(r.status, 0) << r.output;
    TempDir out;
    ASSERT_EQ(runCommand("unzip -q " + sh(dir / "out" / "jp.zip") + " -d " + sh(out.path())), 0);
    EXPECT_EQ(readFile(out / "\x95\x5C\x83\x5C\x94\x5C" / "\x97\x5C\x92\xE8\x95\x5C.txt"), "yotei\n");

    writeFile(dir / "tree" / "〜.txt", "wave\n");
    const fs::path wave = dir / "in" / "wave.zip";
    ASSERT_EQ(runCommand("cd " + sh(dir / "tree") + " && zip -qr " + sh(wave) + " ."), 0);
    r = convert("--to cab --name-encoding cp932 --out " + sh(dir / "out") + " " + sh(wave), dir.path());
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("\"〜.txt\" cannot be written in CP932"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(dir / "out" / "wave.cab"));
    // By default the same archive converts, its names in UTF-8.
    r = convert("--to cab --out " + sh(dir / "out") + " " + sh(wave), dir.path());
    EXPECT_EQ(r.status, 0) << r.output;

    r = convert("--to zip --name-encoding sjis --out " + sh(dir / "out") + " " + sh(wave), dir.path());
    EXPECT_EQ(r.status, 2) << r.output;
}
