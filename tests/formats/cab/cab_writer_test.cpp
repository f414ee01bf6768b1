#include "formats/cab/cab_checksum.h"
#include "formats/cab/cabinet_writer.h"
#include "codecs/deflate/mszip_compressor.h"
#include "formats/cab/stored_compressor.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <optional>
#include <random>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace qvo::formats::cab;
using namespace qvo::codecs::deflate;
using qvo::test::TempDir;
using qvo::test::readFile;
using qvo::test::runCommand;
using qvo::test::sh;
using qvo::test::writeFile;
using Status = qvo::create::WriteStatus;

namespace {

class FileOutput final : public qvo::base::SeekableOutput {
public:
    explicit FileOutput(const fs::path &p) { fd_ = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644); }
    ~FileOutput() override { ::close(fd_); }
    bool write(const void *data, size_t size) override
    {
        writes++;
        bool ok = pwrite(fd_, data, size, off_t(end_)) == ssize_t(size);
        end_ += size;
        return ok;
    }
    bool writeAt(uint64_t offset, const void *data, size_t size) override
    {
        writes++;
        return pwrite(fd_, data, size, off_t(offset)) == ssize_t(size);
    }
    int writes = 0;

private:
    int fd_ = -1;
    uint64_t end_ = 0;
};

// Compressible text mixed with noise, so frames differ and refer back.
std::string sampleData(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < size) {
        if (rng() % 4 == 0)
            for (int i = 0; i < 64; ++i)
                s.push_back(char(rng()));
        else
            s += "line " + std::to_string(rng() % 1000) + " of some repeated text\n";
    }
    s.resize(size);
    return s;
}

CabFileEntry entry(const TempDir &dir, const std::string &name, const std::string &data)
{
    fs::path p = dir / ("in/" + name);
    writeFile(p, data);
    CabFileEntry e;
    e.name = name;
    e.size = data.size();
    e.date = (44 << 9) | (1 << 5) | 2; // 2024-01-02 03:04:06
    e.time = (3 << 11) | (4 << 5) | 3;
    e.attribs = kAttribArchive;
    e.source = p;
    return e;
}

CompressorFactory mszip() { return [] { return makeMszipCompressor(); }; }
CompressorFactory mszipIndependent()
{
    return [] {
        MszipOptions o;
        o.chained = false;
        return makeMszipCompressor(o);
    };
}
CompressorFactory stored() { return [] { return makeStoredCompressor(); }; }

// Extracts `cab` with each reader and compares every file with `expected`.
void expectReadersAgree(const TempDir &dir, const fs::path &cab,
                        const std::vector<std::pair<std::string, std::string>> &expected)
{
    const std::vector<std::pair<std::string, std::string>> readers = {
        {"cabextract", "cabextract -q -d OUT CAB"},
        {"7zz", "7zz x -y -oOUT CAB"},
        {"bsdtar", "mkdir -p OUT && bsdtar -xf CAB -C OUT"},
    };
    for (const auto &[name, pattern] : readers) {
        fs::path out = dir / ("out-" + name);
        std::string cmd = pattern;
        for (size_t at; (at = cmd.find("OUT")) != std::string::npos;)
            cmd.replace(at, 3, sh(out));
        cmd.replace(cmd.find("CAB"), 3, sh(cab));
        std::string log;
        ASSERT_EQ(runCommand(cmd, &log), 0) << name << ": " << log;
        size_t count = 0;
        for (auto &it : fs::recursive_directory_iterator(out))
            count += it.is_regular_file();
        EXPECT_EQ(count, expected.size()) << name;
        for (const auto &[file, data] : expected)
            EXPECT_TRUE(readFile(out / file) == data) << name << ": " << file;
    }
}

} // namespace

TEST(CabChecksum, FoldsWordsAndTakesTailBytesHighFirst)
{
    const uint8_t data[7] = {1, 2, 3, 4, 5, 6, 7};
    // Word 0x04030201, tail 5,6,7 -> 0x050607.
    EXPECT_EQ(cabChecksum(data, 0), 0x04030201u ^ 0x050607u);
    EXPECT_EQ(cabChecksum(std::span(data, 5), 0xFF), 0x04030201u ^ 0x05u ^ 0xFFu);
    // The block checksum adds cbData and cbUncomp after the payload.
    EXPECT_EQ(dataBlockChecksum(std::span(data, 4), 9), 0x04030201u ^ (4u | 9u << 16));
}

TEST(MszipCompressor, BatchOnThreadsEqualsFrameByFrame)
{
    std::string data = sampleData(9 * qvo::codecs::kFrameSize + 1234, 7);
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(data.data()), data.size());
    for (bool chained : {true, false}) {
        SCOPED_TRACE(chained ? "chained" : "independent");
        MszipOptions options;
        options.chained = chained;
        options.threads = 1;
        auto single = makeMszipCompressor(options);
        std::vector<std::vector<uint8_t>> one;
        for (size_t pos = 0; pos < bytes.size(); pos += qvo::codecs::kFrameSize) {
            one.emplace_back();
            size_t n = std::min(qvo::codecs::kFrameSize, bytes.size() - pos);
            single->compressFrame(bytes.subspan(pos, n), pos + n == bytes.size(), one.back());
        }
        // Two batches, so the second starts from the first's last frame;
        // as asked (the calling thread among three), then with worker
        // threads forced, so that frames are compressed on them.
        options.threads = 3;
        for (bool forced : {false, true}) {
            SCOPED_TRACE(forced ? "forced workers" : "three threads");
            std::optional<qvo::test::ForcedWorkerThreads> workers;
            if (forced)
                workers.emplace();
            auto threaded = makeMszipCompressor(options);
            std::vector<std::vector<uint8_t>> many;
            threaded->compressFrames(bytes.first(4 * qvo::codecs::kFrameSize), false, many);
            threaded->compressFrames(bytes.subspan(4 * qvo::codecs::kFrameSize), true, many);
            if (workers) {
                EXPECT_EQ(workers->jobsOnWorkers(), one.size());
            }
            ASSERT_EQ(many.size(), one.size());
            for (size_t i = 0; i < one.size(); ++i) {
                EXPECT_EQ(many[i], one[i]) << "frame " << i;
                EXPECT_EQ(one[i][0], 'C');
                EXPECT_EQ(one[i][1], 'K');
            }
        }
    }
}

TEST(CabinetWriter, SplitsFoldersAtTheFrameLimitAndReadersFollow)
{
    TempDir dir;
    // Three frames per folder: a 2.5-frame file, then one that does not fit
    // beside it, then small files that do, then an empty one.
    std::vector<std::pair<std::string, std::string>> files = {
        {"a.bin", sampleData(qvo::codecs::kFrameSize * 5 / 2, 1)},
        {"sub\\b.txt", sampleData(qvo::codecs::kFrameSize * 2 + 17, 2)},
        {"sub\\c.txt", sampleData(qvo::codecs::kFrameSize - 17, 3)},
        {"d.txt", sampleData(100, 4)},
        {"e", ""},
    };
    std::vector<std::pair<std::string, std::string>> expected;
    for (const auto &[name, data] : files) {
        std::string path = name;
        std::replace(path.begin(), path.end(), '\\', '/');
        expected.emplace_back(path, data);
    }
    CabLimits limits;
    limits.maxFramesPerFolder = 3;
    for (const auto &factory : {mszip(), mszipIndependent(), stored()}) {
        std::vector<CabFileEntry> entries;
        for (const auto &[name, data] : files)
            entries.push_back(entry(dir, name, data));
        fs::path cab = dir / "split.cab";
        FileOutput out(cab);
        qvo::create::WriteResult r = writeCabinet(entries, factory, out, limits);
        ASSERT_TRUE(r.ok()) << r.detail;
        const std::string header = readFile(cab).substr(0, kHeaderSize);
        EXPECT_EQ(uint8_t(header[26]) | uint8_t(header[27]) << 8, 3); // cFolders: a | b c | d e
        expectReadersAgree(dir, cab, expected);
        fs::remove_all(dir / "out-cabextract");
        fs::remove_all(dir / "out-7zz");
        fs::remove_all(dir / "out-bsdtar");
    }
}

TEST(CabinetWriter, RefusesWhatDoesNotFitBeforeWriting)
{
    TempDir dir;
    CabLimits limits;
    limits.maxFramesPerFolder = 2;
    limits.maxFiles = 3;
    auto run = [&](std::vector<CabFileEntry> entries, CompressorFactory f, const CabLimits &l,
                   int *writes = nullptr) {
        FileOutput out(dir / "x.cab");
        qvo::create::WriteResult r = writeCabinet(entries, f, out, l);
        if (writes)
            *writes = out.writes;
        return r.status;
    };
    int writes = -1;
    EXPECT_EQ(run({}, mszip(), limits), Status::NoFiles);
    // A file larger than a folder can hold.
    EXPECT_EQ(run({entry(dir, "big", sampleData(2 * qvo::codecs::kFrameSize + 1, 1))}, mszip(), limits, &writes),
              Status::TooLarge);
    EXPECT_EQ(writes, 0);
    // More files than the count field allows.
    std::vector<CabFileEntry> four;
    for (int i = 0; i < 4; ++i)
        four.push_back(entry(dir, "f" + std::to_string(i), "x"));
    EXPECT_EQ(run(four, mszip(), limits), Status::TooLarge);
    // A name longer than readers accept.
    EXPECT_EQ(run({entry(dir, std::string(256, 'n'), "x")}, mszip(), limits), Status::TooLarge);
    EXPECT_EQ(run({entry(dir, std::string(255, 'n'), "x")}, mszip(), limits), Status::Ok);
    // Stored data whose total is known to exceed the cabinet size.
    CabLimits small = limits;
    small.maxCabinetSize = 1000;
    EXPECT_EQ(run({entry(dir, "s", std::string(1000, 's'))}, stored(), small, &writes),
              Status::TooLarge);
    EXPECT_EQ(writes, 0);
    // Compressed data that turns out too large while being written.
    EXPECT_EQ(run({entry(dir, "r", sampleData(qvo::codecs::kFrameSize, 9))}, mszip(), small), Status::TooLarge);
}

TEST(CabinetWriter, FailsWhenAFileShrinksOrVanishes)
{
    TempDir dir;
    CabFileEntry e = entry(dir, "f", sampleData(5000, 1));
    e.size = 6000;
    FileOutput out(dir / "x.cab");
    EXPECT_EQ(writeCabinet({e}, mszip(), out).status, Status::ReadError);
    e.source = dir / "missing";
    EXPECT_EQ(writeCabinet({e}, mszip(), out).status, Status::ReadError);
}
