// Tests ARJ archives the way `7zz t` and `lsar -t` do: every member of every
// volume decoded with our decoders and checked against its CRC, nothing
// written.  For bench/arj_decode.sh.
//
//   arj_test_driver ARCHIVE...    exit status 0 when every member checks out
#include "archivers/include/qvo_archiver.h"
#include "base/unique_fd.h"
#include "codecs/arj/arj_decoder.h"
#include "extract/file_range_source.h"
#include "formats/arj/arj_members.h"
#include "platform/file_reading.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>

namespace {

class CrcSink final : public qvo::base::ByteSink {
public:
    bool write(const uint8_t *data, size_t size) override
    {
        crc = static_cast<uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
        total += size;
        return true;
    }
    uint32_t crc = 0;
    uint64_t total = 0;
};

bool testArchive(const char *path)
{
    using namespace qvo::formats::arj;
    ArjCatalogue catalogue;
    if (readArjCatalogue(path, catalogue) != qvo::archivers::kOk || catalogue.failure != qvo::archivers::kOk) {
        std::fprintf(stderr, "%s: cannot read its headers\n", path);
        return false;
    }
    bool ok = true;
    for (const ArjMember &m : catalogue.members) {
        for (const ArjPart &part : m.parts) {
            uint64_t size = 0;
            qvo::base::UniqueFd fd = qvo::platform::openRegularFile(catalogue.volumes[part.volume].string(), size);
            qvo::extract::FileRangeSource in(fd.get(), part.dataOffset, part.compressedSize);
            CrcSink out;
            const auto status = qvo::codecs::arj::decodeArj(part.method, in, part.originalSize, out);
            if (status != qvo::base::DecodeStatus::Ok || out.total != part.originalSize || out.crc != part.crc) {
                std::fprintf(stderr, "%s: %s does not decode\n", path, m.header.name.c_str());
                ok = false;
            }
        }
    }
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    bool ok = argc > 1;
    for (int i = 1; i < argc; ++i)
        ok = testArchive(argv[i]) && ok;
    benchmark::DoNotOptimize(ok);
    return ok ? 0 : 1;
}
