// RAR 1.5-4 and RAR 5 read with libarchive: what our RAR code adds to it.
//
// libarchive 3.6 reads a set only when handed every volume, misreads some
// RAR 5 headers, checks no checksum of stored RAR 5 members, says nothing
// of RAR 5 encryption and finds a RAR archive only behind the stubs it
// knows.  These hooks open sets as one stream of volumes, rewritten RAR 5
// headers and self-extractors from where the archive starts; check each
// RAR 5 member against its header's CRC-32; and tell a missing volume and
// encryption from damage.
#pragma once
#include "formats/shared/libarchive_format.h"
#include "formats/rar/rar5_checksums.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace qvo::formats::rar {

class RarLibarchive final : public shared::LibarchiveFormat {
public:
    // `searchStub`: look for the archive behind any self-extractor's stub
    // (where RAR is the only format asked for; among others, a file that
    // merely holds a RAR marker is not taken for RAR).
    RarLibarchive(const std::filesystem::path &archive, bool searchStub);

    void enable(archive *a) override;
    bool reads(int libarchiveFormat) const override;
    std::optional<int32_t> open(archive *a, shared::PieceSource &pieces) override;
    std::optional<uint32_t> expectedCrc(archive *a, archive_entry *entry, const extract::MemberInfo &member) override;
    std::optional<int32_t> headerFailure() override;
    int32_t verdict(int32_t result, const shared::ReadSummary &summary) override;

private:
    const std::filesystem::path archive_;
    const bool searchStub_;
    bool isSet_ = false;
    std::string lastVolume_;
    uint64_t start_ = 0; // where the archive starts behind a stub
    std::optional<Rar5Checksums> rar5Crcs_; // read when the first RAR 5 member shows up
};

} // namespace qvo::formats::rar
