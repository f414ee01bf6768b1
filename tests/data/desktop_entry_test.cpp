// The desktop entry offers Qvo in a file manager's "Open with" for every
// archive it reads: the MIME type the system gives each kind of corpus
// archive, by name and content as file managers ask, must be declared.
#include "test_support.h"

#include <QMimeDatabase>
#include <QStringList>

#include <filesystem>
#include <set>

namespace qvo::test {
namespace {

namespace fs = std::filesystem;

std::string desktopKey(const std::string &key)
{
    const std::string entry = readFile(fs::path(QVO_SOURCE_DIR) / "data" / "qvo.desktop");
    const std::string prefix = "\n" + key + "=";
    const size_t at = entry.find(prefix);
    if (at == std::string::npos)
        return {};
    const size_t start = at + prefix.size();
    return entry.substr(start, entry.find('\n', start) - start);
}

std::set<std::string> declaredTypes()
{
    std::set<std::string> types;
    const QStringList list = QString::fromStdString(desktopKey("MimeType")).split(';', Qt::SkipEmptyParts);
    for (const QString &t : list)
        types.insert(t.toStdString());
    return types;
}

TEST(DesktopEntry, PassesEveryFileToTheProgram)
{
    EXPECT_EQ(desktopKey("Exec"), "qvo %F");
}

TEST(DesktopEntry, DeclaresTheTypeOfEveryArchiveKindItReads)
{
    const std::set<std::string> declared = declaredTypes();
    const QMimeDatabase db;
    // By name and content: one archive of each kind, a RAR volume, and
    // RAR 4, RAR 5 and LHA self-extractors.
    const char *samples[] = {
        "lzh/lhasa/explzh_723/h1_lh5.lzh",
        "zip/libarchive/test_basic.zip",
        "cab/gcab/test-mszip.cab",
        "rar/libarchive/test_rar_multivolume_multiple_files.part1.rar",
        "rar/libarchive/test_read_format_rar_sfx.exe",
        "rar/libarchive/test_read_format_rar5_sfx.exe",
        "lzh/lhasa/lha213/sfx.exe",
    };
    for (const char *sample : samples) {
        const fs::path path = fs::path(QVO_CORPUS_DIR) / sample;
        ASSERT_TRUE(fs::exists(path)) << path;
        const std::string type = db.mimeTypeForFile(QString::fromStdString(path.string())).name().toStdString();
        EXPECT_TRUE(declared.count(type)) << sample << " is " << type;
    }
    // By name alone, as a file manager lists a folder.
    for (const char *name : {"a.lzh", "a.lha", "A.LZH", "a.zip", "a.cab", "a.rar"}) {
        const std::string type = db.mimeTypeForFile(QString::fromLatin1(name), QMimeDatabase::MatchExtension)
                                     .name()
                                     .toStdString();
        EXPECT_TRUE(declared.count(type)) << name << " is " << type;
    }
    // The names other type databases use for the same formats.
    for (const char *alias : {"application/x-lzh-compressed", "application/x-zip-compressed", "application/x-rar"})
        EXPECT_TRUE(declared.count(alias)) << alias;
}

} // namespace
} // namespace qvo::test
