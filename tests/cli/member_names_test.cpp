// Member names that archives do not mark, in the encodings old archivers
// wrote, come out right in the converted ZIP, as other readers see it.
#include "archivers/archive_builders.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using namespace qvo::test;
namespace fs = std::filesystem;

namespace {

const std::string kProgram = std::string(QVO_BIN_DIR) + "/qvo-convert";

// A ZIP as DOS and Windows archivers wrote it: made on MS-DOS, no UTF-8 flag.
std::string windowsZip(const char *charset, const std::vector<std::string> &names)
{
    std::vector<ZipMember> members;
    for (const std::string &n : names)
        members.push_back(zipFile(inCharset(charset, n), "data of " + n));
    return buildZip(members);
}

// An LHA made on `osId`, each name split into folder field and file name.
std::string lha(char osId, const char *charset, const std::vector<std::string> &names)
{
    std::vector<LhaMember> members;
    for (const std::string &n : names) {
        const size_t slash = n.rfind('/');
        const std::string dir = slash == std::string::npos ? "" : inCharset(charset, n.substr(0, slash)) + "\xFF";
        LhaMember m = lhaFile(inCharset(charset, n.substr(slash + 1)), dir, "data of " + n);
        m.osId = osId;
        members.push_back(m);
    }
    return buildLha(members);
}

std::set<std::string> filesBelow(const fs::path &root)
{
    std::set<std::string> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        if (it->is_regular_file())
            out.insert(fs::relative(it->path(), root).string());
    return out;
}

class MemberNames : public ::testing::Test {
protected:
    // Converts `archive` (written as `name`) to ZIP with `options` and
    // returns the member names each reader finds in the new archive.
    void expectConvertedNames(const std::string &name, const std::string &archive,
                              const std::vector<std::string> &expected, const std::string &options = "")
    {
        const fs::path source = dir / "in" / name;
        writeFile(source, archive);
        const fs::path out = dir / "out";
        std::string log;
        ASSERT_EQ(runCommand("TMPDIR=" + sh(dir.path()) + " QVO_LIBRARY_DIR=" + sh(QVO_LIBRARY_DIR) + " " +
                                 sh(kProgram) + " --to zip --same-type --overwrite --out " + sh(out) + " " + options + " " +
                                 sh(source) + " </dev/null",
                             &log),
                  0)
            << log;
        const fs::path zip = out / (source.stem().string() + ".zip");
        const std::set<std::string> want(expected.begin(), expected.end());
        const std::pair<const char *, std::string> readers[] = {
            {"bsdtar", "LC_ALL=C.UTF-8 bsdtar -xf " + sh(zip) + " -C "},
            {"unar", "LC_ALL=C.UTF-8 unar -q -D -o "},
            {"7zz", "7zz x -y -bd " + sh(zip) + " -o"},
        };
        for (const auto &[tool, command] : readers) {
            ASSERT_TRUE(haveTool(tool)) << tool << " is needed";
            const fs::path dest = dir / ("x-" + std::string(tool));
            fs::remove_all(dest);
            fs::create_directories(dest);
            const std::string line =
                std::string(tool) == "unar" ? command + sh(dest) + " " + sh(zip) : command + sh(dest);
            ASSERT_EQ(runCommand(line, &log), 0) << tool << ": " << log;
            EXPECT_EQ(filesBelow(dest), want) << tool << " reading " << name;
        }
    }

    TempDir dir;
};

} // namespace

TEST_F(MemberNames, EastAsianWindowsZips)
{
    const std::vector<std::string> chinese = {"中文文件.txt", "新建文件夹/说明.doc", "测试报告.xls"};
    expectConvertedNames("chinese.zip", windowsZip("GBK", chinese), chinese);
    const std::vector<std::string> korean = {"한국어.txt", "새 폴더/문서.hwp", "사진.jpg"};
    expectConvertedNames("korean.zip", windowsZip("CP949", korean), korean);
    // 表 and ソ end in 0x5C, the byte of "\".
    const std::vector<std::string> japanese = {"日本語.txt", "表示/ソフト.txt", "新しいフォルダ/説明書.doc"};
    expectConvertedNames("japanese.zip", windowsZip("CP932", japanese), japanese);
}

TEST_F(MemberNames, DosZipAndOtherSystemsLha)
{
    const std::vector<std::string> dos = {"RÉSUMÉ.TXT", "FÜR.DOC", "ÄRGER.TXT"};
    expectConvertedNames("dos.zip", windowsZip("CP437", dos), dos);
    // As CP932 these were "Stra疇 und Br…ke.txt" and "Ｍ革e".
    const std::vector<std::string> western = {"Straße und Brücke.txt", "Häuser/élève.txt"};
    expectConvertedNames("western.zip", windowsZip("CP437", western), western);
    // Amiga LHA writes ISO-8859-1; as CP932, "ño" was one character.
    const std::vector<std::string> amiga = {"español.ct", "Müller/Ärger.txt"};
    expectConvertedNames("amiga.lzh", lha('A', "ISO-8859-1", amiga), amiga);
    // A Japanese Unix archiver's EUC-JP, which is not UTF-8.
    const std::vector<std::string> unix = {"日本語.txt", "テスト/説明.txt"};
    expectConvertedNames("unix.lzh", lha('U', "EUC-JP", unix), unix);
    // Kanji that are valid GBK as well: still CP932.
    const std::vector<std::string> kanji = {"会議資料.doc", "漢字/表.txt"};
    expectConvertedNames("kanji.lzh", lha('M', "CP932", kanji), kanji);
}

TEST_F(MemberNames, EveryArchiveOfOneRunJudgedOnItsOwn)
{
    // DOS ZIPs from Western systems beside Japanese archives, in one run:
    // each archive's names read in the code page they were written in.
    const std::vector<std::tuple<std::string, std::string, std::vector<std::string>>> sources = {
        {"german.zip", windowsZip("CP437", {"Straße und Brücke.txt", "Größe.xls"}), {"Straße und Brücke.txt", "Größe.xls"}},
        {"french.zip", windowsZip("CP437", {"Noël.txt"}), {"Noël.txt"}},
        {"spanish.zip", windowsZip("CP437", {"¿Qué?.txt", "Año nuevo.doc"}), {"¿Qué?.txt", "Año nuevo.doc"}},
        {"nordic.zip", windowsZip("CP850", {"Smørrebrød.txt", "Ærø.doc"}), {"Smørrebrød.txt", "Ærø.doc"}},
        {"graphics.zip", windowsZip("CP437", {"╔MENU╗.TXT"}), {"╔MENU╗.TXT"}},
        {"latin-parts.zip", windowsZip("CP932", {"資料_v2.txt", "ﾃｽﾄdata.txt"}), {"資料_v2.txt", "ﾃｽﾄdata.txt"}},
        {"kanji.zip", windowsZip("CP932", {"漢字.txt"}), {"漢字.txt"}},
        {"japanese.lzh", lha('M', "CP932", {"会議資料.doc", "ﾃﾞｰﾀ.TXT"}), {"会議資料.doc", "ﾃﾞｰﾀ.TXT"}},
    };
    std::string paths;
    for (const auto &[file, archive, names] : sources) {
        writeFile(dir / "in" / file, archive);
        paths += " " + sh(dir / "in" / file);
    }
    std::string log;
    ASSERT_EQ(runCommand("TMPDIR=" + sh(dir.path()) + " QVO_LIBRARY_DIR=" + sh(QVO_LIBRARY_DIR) + " " + sh(kProgram) +
                             " --to zip --same-type --out " + sh(dir / "out") + paths + " </dev/null",
                         &log),
              0)
        << log;
    ASSERT_TRUE(haveTool("unzip") && haveTool("bsdtar"));
    for (const auto &[file, archive, names] : sources) {
        const fs::path zip = dir / "out" / (fs::path(file).stem().string() + ".zip");
        const std::set<std::string> want(names.begin(), names.end());
        for (const std::string lister : {"LC_ALL=C.UTF-8 unzip -Z1 ", "LC_ALL=C.UTF-8 bsdtar -tf "}) {
            ASSERT_EQ(runCommand(lister + sh(zip), &log), 0) << log;
            std::set<std::string> listed;
            std::istringstream lines(log);
            for (std::string line; std::getline(lines, line);)
                listed.insert(line);
            EXPECT_EQ(listed, want) << lister << file;
        }
    }
}

TEST_F(MemberNames, NamedEncodingOverridesTheGuess)
{
    // One short Korean name is also four half-width katakana in CP932,
    // which keeps its place on so little evidence.
    const std::string korean = windowsZip("CP949", {"문서.txt"});
    expectConvertedNames("short.zip", korean, {"ｹｮｼｭ.txt"}, "--names auto");
    expectConvertedNames("short.zip", korean, {"문서.txt"}, "--names cp949");
}
