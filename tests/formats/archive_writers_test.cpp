// What every archive writer promises whatever its format: a request it
// cannot carry out fails before anything is written, and what its format
// cannot hold is named in the result instead of vanishing silently.
#include "create/entries_to_pack.h"
#include "formats/cab/cab_archive_writer.h"
#include "formats/lha/lha_archive_writer.h"
#include "formats/zip/zip_archive_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace fs = std::filesystem;
using namespace qvo;
using create::WriteResult;
using create::WriteStatus;

namespace {

class MemoryOutput final : public base::SeekableOutput {
public:
    std::vector<uint8_t> bytes;
    bool write(const void *data, size_t size) override
    {
        auto p = static_cast<const uint8_t *>(data);
        bytes.insert(bytes.end(), p, p + size);
        return true;
    }
    bool writeAt(uint64_t offset, const void *data, size_t size) override
    {
        if (offset + size > bytes.size())
            return false;
        std::memcpy(bytes.data() + offset, data, size);
        return true;
    }
};

struct Writer {
    const char *format;
    create::ArchiveWriteFunction *write;
    create::WriterMethod method;
    bool holdsArchiveComment; // ZIP has a field for one, which its writer does not fill yet
};

const Writer kWriters[] = {
    {"LHA", formats::lha::writeLhaArchive, {"lh5", 0}, false},
    {"ZIP", formats::zip::writeZipArchive, {"deflate", 6}, false},
    {"CAB", formats::cab::writeCabArchive, {"mszip", 0}, false},
};

bool names(const WriteResult &r, const std::string &what)
{
    return std::find(r.leftOut.begin(), r.leftOut.end(), what) != r.leftOut.end();
}

} // namespace

TEST(ArchiveWriters, RefuseBeforeWritingWhatTheyCannotDo)
{
    test::TempDir tmp;
    test::writeFile(tmp / "a.txt", "text");
    std::vector<create::WriterEntry> entries;
    ASSERT_TRUE(create::entriesToPack(tmp.path(), {}, entries).ok());
    for (const Writer &w : kWriters) {
        SCOPED_TRACE(w.format);
        create::WriterOptions options;
        options.method = {"no such method", 3};
        MemoryOutput out;
        EXPECT_EQ(w.write(entries, options, out).status, WriteStatus::NotSupported);
        // An archive in the clear where a password was asked for would
        // betray the user.
        options.method = w.method;
        options.encryption = create::Encryption{"secret"};
        EXPECT_EQ(w.write(entries, options, out).status, WriteStatus::NotSupported);
        EXPECT_TRUE(out.bytes.empty());
        options.encryption.reset();
        EXPECT_EQ(w.write({}, options, out).status, WriteStatus::NoFiles);
        const WriteResult r = w.write(entries, options, out);
        EXPECT_TRUE(r.ok()) << r.detail;
        EXPECT_TRUE(r.leftOut.empty());
        EXPECT_FALSE(out.bytes.empty());
    }
}

TEST(ArchiveWriters, NameWhatTheirFormatCannotHold)
{
    test::TempDir tmp;
    test::writeFile(tmp / "kept/a.txt", "text");
    fs::create_directories(tmp / "empty");
    fs::create_symlink("kept", tmp / "to-folder");
    fs::create_symlink("kept/a.txt", tmp / "to-file");
    std::vector<create::WriterEntry> entries;
    ASSERT_TRUE(create::entriesToPack(tmp.path(), {}, entries).ok());
    for (const Writer &w : kWriters) {
        SCOPED_TRACE(w.format);
        create::WriterOptions options;
        options.method = w.method;
        options.archiveComment = "made for a test";
        MemoryOutput out;
        const WriteResult r = w.write(entries, options, out);
        ASSERT_TRUE(r.ok()) << r.detail;
        EXPECT_EQ(names(r, "archive comment"), !w.holdsArchiveComment);
        // A cabinet has no folder or link entries: the link to a file is
        // stored as its content, the other link and the empty folder are
        // lost, the folder of a.txt lives on in its path.
        const bool cabinet = w.write == formats::cab::writeCabArchive;
        EXPECT_EQ(names(r, "1 link"), cabinet);
        EXPECT_EQ(names(r, "1 empty folder"), cabinet);
    }
}
