// ARJ archives for the tests: made by Debian's `arj` from folders built
// here, or byte by byte for what `arj` would never write (hostile names,
// DOS hosts, labels), and read back through our reader.
#pragma once
#include "archivers/include/qvo_archiver.h"
#include "base/endian.h"
#include "extract/extract_sink.h"
#include "formats/arj/arj_reader.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qvo::test::arj {

namespace fs = std::filesystem;

// Runs `arj ARGS` in `dir`, answering yes to every question; the test
// fails when arj does.
inline void runArj(const fs::path &dir, const std::string &args)
{
    std::string out;
    ASSERT_EQ(runCommand("cd " + sh(dir) + " && arj " + args + " -y", &out), 0) << "arj " << args << "\n" << out;
}

// Extracts with our reader into `dest`: the reader's failure, else the
// sink's overall result.
inline int32_t extractArj(const fs::path &archive, const fs::path &dest, const std::string &charset = {})
{
    extract::ExtractOptions o;
    o.destination = dest;
    extract::ExtractSink sink(o);
    const int32_t r = formats::arj::readArjArchive(archive, charset, sink);
    if (r != archivers::kOk)
        sink.recordFailure(r);
    return sink.finish();
}

// One header of a hand-made archive, with its data stored (method 0).
struct Entry {
    std::string name;
    std::string data;
    uint8_t host = 0; // MS-DOS
    uint8_t fileType = 0;
    uint8_t flags = 0;
    uint32_t modified = 0x5A8C6000; // 2025-04-12 12:00:00 as DOS time
    uint16_t mode = 0x20;           // DOS "archive" attribute
    std::optional<uint32_t> claimedSize; // an original size other than the data's
};

inline std::string crcLe(std::string_view bytes)
{
    std::string out(4, '\0');
    base::storeLe32(out.data(), static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef *>(bytes.data()),
                                                            static_cast<uInt>(bytes.size()))));
    return out;
}

// A header with its basic part's 30 fixed bytes as `fixed`.
inline std::string header(std::string fixed, const std::string &name)
{
    std::string basic = fixed + name + '\0' + '\0';
    std::string out = "\x60\xEA";
    out.resize(4);
    base::storeLe16(out.data() + 2, static_cast<uint16_t>(basic.size()));
    return out + basic + crcLe(basic) + std::string(2, '\0');
}

inline std::string fixedFields(const Entry &e, uint8_t type, uint32_t packed, uint32_t crc)
{
    std::string f(30, '\0');
    f[0] = 30;
    f[1] = 11; // written by ARJ 3.10
    f[2] = 1;
    f[3] = static_cast<char>(e.host);
    f[4] = static_cast<char>(e.flags);
    f[6] = static_cast<char>(type);
    base::storeLe32(f.data() + 8, e.modified);
    base::storeLe32(f.data() + 12, packed);
    base::storeLe32(f.data() + 16, e.claimedSize.value_or(static_cast<uint32_t>(e.data.size())));
    base::storeLe32(f.data() + 20, crc);
    base::storeLe16(f.data() + 26, e.mode);
    return f;
}

// A whole archive of stored members, as an MS-DOS ARJ would write it.
inline std::string buildArj(const std::vector<Entry> &entries)
{
    std::string out = header(fixedFields(Entry{}, 2, 0, 0), "made.arj");
    for (const Entry &e : entries) {
        const std::string crc = crcLe(e.data);
        out += header(fixedFields(e, e.fileType, static_cast<uint32_t>(e.data.size()), base::loadLe32(crc.data())),
                      e.name);
        out += e.data;
    }
    return out + std::string("\x60\xEA\0\0", 4);
}

} // namespace qvo::test::arj
