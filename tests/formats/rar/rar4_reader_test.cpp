// Our RAR 1.5-4 reader: header fields (names, times, modes, links), member
// failures, and archives built here byte by byte for cases the corpus lacks.
#include "archivers/include/qvo_archiver.h"
#include "extract/extract_sink.h"
#include "formats/rar/rar4_headers.h"
#include "formats/rar/rar4_reader.h"
#include "rar4_test_builder.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <zlib.h>

#include <ctime>

namespace fs = std::filesystem;
using namespace qvo::archivers;
using namespace qvo::extract;
using namespace qvo::formats::rar;
using namespace qvo::test;
using namespace qvo::test::rar4build;

namespace {

const fs::path kCorpus = fs::path(QVO_CORPUS_DIR) / "rar";

struct Extraction {
    TempDir dir;
    int32_t result = -1;
};

void extract(const fs::path &archive, Extraction &x)
{
    ExtractOptions o;
    o.destination = x.dir.path();
    ExtractSink sink(o);
    int32_t r = readRar4(archive, "", sink);
    if (r != kOk)
        sink.recordFailure(r);
    x.result = sink.finish();
}

TEST(Rar4Headers, UnicodeNamesDecodeEveryOperation)
{
    // High byte 0x04 (Cyrillic).  Flags 0b00'01'10'11: a plain byte, a byte
    // under the high byte, a full 16-bit unit, then a run copied from the
    // plain name with a correction under the high byte.
    std::string plain = "a??xy";
    std::string encoded = {'\x04', '\x1B', 'a', '\x10', '\x3D', '\xD8', '\x81', '\x00'};
    std::string got = rar4::decodeUnicodeName(plain, encoded);
    std::u16string expect = {u'a', u'\u0410', u'\xD83D', static_cast<char16_t>(0x0400 | ((uint8_t('x') + 0) & 0xFF)),
                             static_cast<char16_t>(0x0400 | uint8_t('y'))};
    ASSERT_EQ(got.size(), expect.size() * 2);
    for (size_t i = 0; i < expect.size(); ++i)
        EXPECT_EQ(static_cast<uint8_t>(got[2 * i]) | (static_cast<uint8_t>(got[2 * i + 1]) << 8), expect[i]) << i;

    // A run without correction copies plain bytes as they are; a stream cut
    // short stops without reading past its end.
    EXPECT_EQ(rar4::decodeUnicodeName("abc", std::string{'\0', '\xC0', '\x01'}), std::string("a\0b\0c\0", 6));
    EXPECT_EQ(rar4::decodeUnicodeName("abc", std::string{'\0', '\x80'}), "");
}

TEST(Rar4Headers, ExtendedTimeGivesSubsecondModificationTime)
{
    // ctime2.rar: mtime 2011-05-10 21:28:47.8993451 (local), via the
    // extended-time record; ctime is ignored.
    std::string raw = readFile(kCorpus / "rarfile/ctime2.rar");
    size_t at = rar4::kSignatureSize;
    at += static_cast<uint8_t>(raw[at + 5]) | (static_cast<uint8_t>(raw[at + 6]) << 8); // main header
    rar4::BlockHeader b = rar4::parseBlockHeader(std::string_view(raw).substr(at));
    ASSERT_EQ(b.type, rar4::kFileBlock);
    std::string_view header = std::string_view(raw).substr(at, b.headSize);
    ASSERT_TRUE(rar4::headerCrcMatches(b, header));
    auto h = rar4::parseFileHeader(header);
    ASSERT_TRUE(h && h->mtimeSec);
    EXPECT_EQ(h->name, "afile.txt");
    EXPECT_EQ(h->mtimeNsec, 899345100u);
    std::time_t t = static_cast<std::time_t>(*h->mtimeSec);
    std::tm tm{};
    localtime_r(&t, &tm);
    EXPECT_EQ(tm.tm_year + 1900, 2011);
    EXPECT_EQ(tm.tm_hour, 21);
    EXPECT_EQ(tm.tm_min, 28);
    EXPECT_EQ(tm.tm_sec, 47);
}

TEST(Rar4Reader, FoldersLinksModesAndWindowsAttributes)
{
    TempDir src;
    std::vector<Member> members = {
        {"d", "", rar4::kFileDirectory, rar4::kHostUnix, 040750},
        {"d/a.txt", "alpha", 0, rar4::kHostUnix, 0100640},
        {"d/link", "a.txt", 0, rar4::kHostUnix, 0120777},
        {"W\\ro.txt", "read only", 0, rar4::kHostWin32, 0x21}, // archive + read-only
    };
    writeFile(src / "a.rar", buildRar4(members));
    Extraction x;
    extract(src / "a.rar", x);
    ASSERT_EQ(x.result, kOk);
    EXPECT_EQ(readFile(x.dir / "d/a.txt"), "alpha");
    struct stat st{};
    ASSERT_EQ(::stat((x.dir / "d/a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777 & ~0640u, 0u); // the stored mode, less the umask
    ASSERT_TRUE(fs::is_symlink(x.dir / "d/link"));
    EXPECT_EQ(fs::read_symlink(x.dir / "d/link"), "a.txt");
    EXPECT_EQ(readFile(x.dir / "W/ro.txt"), "read only");
    ASSERT_EQ(::stat((x.dir / "W/ro.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    ASSERT_EQ(::stat((x.dir / "d").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST(Rar4Reader, FailingMembersDoNotStopTheOthers)
{
    TempDir src;
    std::vector<Member> members = {
        {"secret.txt", "xxxx", rar4::kFileEncrypted},
        {"plain.txt", "plain"},
    };
    writeFile(src / "enc.rar", buildRar4(members));
    Extraction enc;
    extract(src / "enc.rar", enc);
    EXPECT_EQ(enc.result, kErrEncrypted);
    EXPECT_FALSE(fs::exists(enc.dir / "secret.txt"));
    EXPECT_EQ(readFile(enc.dir / "plain.txt"), "plain");

    members = {{"bad.txt", "data", 0, rar4::kHostUnix, 0100644, 0x12345678u}, {"good.txt", "good"}};
    writeFile(src / "crc.rar", buildRar4(members));
    Extraction crc;
    extract(src / "crc.rar", crc);
    EXPECT_EQ(crc.result, kErrCorrupt);
    EXPECT_FALSE(fs::exists(crc.dir / "bad.txt")); // nothing left of a member that failed its CRC
    EXPECT_EQ(readFile(crc.dir / "good.txt"), "good");
}

TEST(Rar4Reader, DamagedHeadersAndStubs)
{
    TempDir src;
    std::string good = buildRar4({Member("f.txt", "content")});

    // A damaged file header ends the walk as corrupt, before anything is made.
    std::string bad = good;
    bad[rar4::kSignatureSize + 13 + 10] ^= 0x01;
    writeFile(src / "bad.rar", bad);
    Extraction x;
    extract(src / "bad.rar", x);
    EXPECT_EQ(x.result, kErrCorrupt);
    EXPECT_FALSE(fs::exists(x.dir / "f.txt"));

    // A self-extractor stub, holding a stray signature not followed by a
    // main header, is skipped.
    std::string stub(70000, 'M');
    stub.replace(1000, rar4::kSignatureSize, std::string(rar4::kSignature, rar4::kSignatureSize));
    writeFile(src / "sfx.exe", stub + good);
    Extraction sfx;
    extract(src / "sfx.exe", sfx);
    EXPECT_EQ(sfx.result, kOk);
    EXPECT_EQ(readFile(sfx.dir / "f.txt"), "content");
    EXPECT_TRUE(rar4ReaderHandles(src / "sfx.exe"));

    // RAR 5 and other files are not ours; encrypted headers fail as encrypted.
    EXPECT_FALSE(rar4ReaderHandles(kCorpus / "rarfile/rar5-solid.rar"));
    writeFile(src / "text.rar", "not an archive");
    EXPECT_FALSE(rar4ReaderHandles(src / "text.rar"));
    Extraction hp;
    extract(kCorpus / "rarfile/rar3-comment-hpsw.rar", hp);
    EXPECT_EQ(hp.result, kErrEncrypted);
}

TEST(Rar4Reader, OldStyleBlocksPassTheirOwnChecks)
{
    // Writers before 3.0: a comment inside the main header (its CRC covers
    // only the part before the comment), a sub-block whose CRC counts its
    // data in, and an authenticity block with no usable CRC.
    std::string comment = block(rar4::kCommentBlock, 0);
    appendLe16(comment, 4);             // unpacked size
    comment += static_cast<char>(20);
    comment += static_cast<char>(rar4::kMethodStore);
    appendLe16(comment, 0);             // comment CRC16
    comment += "note";
    comment = sealBlock(comment);
    std::string main = block(rar4::kMainBlock, rar4::kMainComment);
    main.append(6, '\0');
    main += comment;
    main[5] = static_cast<char>(main.size());
    uLong mc = crc32(0L, reinterpret_cast<const Bytef *>(main.data() + 2), 13 - 2);
    main[0] = static_cast<char>(mc & 0xFF);
    main[1] = static_cast<char>((mc >> 8) & 0xFF);

    std::string sub = block(rar4::kOldSubBlock, rar4::kLongBlock);
    appendLe32(sub, 8);
    appendLe16(sub, 0x0101); // owner record
    sub.resize(18, '\0');
    sub[5] = 18;
    std::string subData = "rootroot";
    uLong c = crc32(0L, reinterpret_cast<const Bytef *>(sub.data() + 2), static_cast<uInt>(sub.size() - 2));
    c = crc32(c, reinterpret_cast<const Bytef *>(subData.data()), static_cast<uInt>(subData.size()));
    sub[0] = static_cast<char>(c & 0xFF);
    sub[1] = static_cast<char>((c >> 8) & 0xFF);

    std::string av = block(rar4::kAvBlock, 0) + "garbage";
    av[5] = static_cast<char>(av.size());

    std::string plain = buildRar4({Member("f.txt", "content")});
    size_t mainSize = static_cast<uint8_t>(plain[rar4::kSignatureSize + 5]);
    std::string rest = plain.substr(rar4::kSignatureSize + mainSize);
    size_t fileSize = static_cast<uint8_t>(rest[5]) + 7; // header and "content"
    std::string archive = std::string(rar4::kSignature, rar4::kSignatureSize) + main + rest.substr(0, fileSize)
                          + sub + subData + av + rest.substr(fileSize);
    TempDir src;
    writeFile(src / "old.rar", archive);
    Extraction x;
    extract(src / "old.rar", x);
    EXPECT_EQ(x.result, kOk);
    EXPECT_EQ(readFile(x.dir / "f.txt"), "content");

    // The same sub-block with its data changed fails its CRC.
    std::string damaged = archive;
    damaged[archive.find("rootroot")] = 'R';
    writeFile(src / "damaged.rar", damaged);
    Extraction y;
    extract(src / "damaged.rar", y);
    EXPECT_EQ(y.result, kErrCorrupt);
}

TEST(Rar4Reader, DeclaredSizeBeyondTheDataFailsFast)
{
    // A compressed member that claims 4 GiB: decoding stops where the data
    // ends instead of producing zeros until the size is reached.
    TempDir src;
    std::string raw = readFile(kCorpus / "libarchive/test_read_format_rar_compress_best.rar");
    size_t at = rar4::kSignatureSize;
    at += static_cast<uint8_t>(raw[at + 5]) | (static_cast<uint8_t>(raw[at + 6]) << 8);
    ASSERT_EQ(static_cast<uint8_t>(raw[at + 2]), rar4::kFileBlock);
    size_t headSize = static_cast<uint8_t>(raw[at + 5]) | (static_cast<uint8_t>(raw[at + 6]) << 8);
    for (int i = 0; i < 4; ++i)
        raw[at + 11 + i] = '\xF0';
    raw.replace(at, headSize, sealBlock(raw.substr(at, headSize)));
    writeFile(src / "big.rar", raw);
    Extraction x;
    auto start = std::chrono::steady_clock::now();
    extract(src / "big.rar", x);
    EXPECT_EQ(x.result, kErrCorrupt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    // A packed size of 2^64 less the header size (64-bit size fields) must
    // not wrap the walk back to the same header when the member is skipped.
    std::string h = block(rar4::kFileBlock, rar4::kLongBlock | rar4::kFileLarge | rar4::kFileEncrypted);
    appendLe32(h, 0xFFFFFFFFu - 45 + 1);
    appendLe32(h, 4);
    h += static_cast<char>(rar4::kHostUnix);
    appendLe32(h, crcOf("data"));
    appendLe32(h, 0x3A8F5B2D);
    h += static_cast<char>(29);
    h += static_cast<char>(rar4::kMethodStore);
    appendLe16(h, 5);
    appendLe32(h, 0100644);
    appendLe32(h, 0xFFFFFFFF); // high halves of packed and unpacked size
    appendLe32(h, 0);
    h += "f.txt";
    ASSERT_EQ(h.size(), 45u);
    std::string plain = buildRar4({Member("a.txt", "a")});
    std::string wrapped = plain.substr(0, plain.size() - 7) + sealBlock(h) + "data" + plain.substr(plain.size() - 7);
    writeFile(src / "wrap.rar", wrapped);
    Extraction w;
    start = std::chrono::steady_clock::now();
    extract(src / "wrap.rar", w);
    EXPECT_EQ(w.result, kErrEncrypted);
    EXPECT_EQ(readFile(w.dir / "a.txt"), "a");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

} // namespace
