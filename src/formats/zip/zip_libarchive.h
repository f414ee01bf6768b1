// ZIP read with libarchive: what the central directory tells that
// libarchive does not pass on.
//
// libarchive hands marked and unmarked names over alike; the name markers
// (zip_name_markers.h) say which names are UTF-8 and in what encoding the
// others are.  libarchive also reads on from local headers when there is no
// central directory, and takes "no members" at its word after other data:
// both are damage, where members may be missing.
#pragma once
#include "formats/shared/libarchive_format.h"
#include "formats/zip/zip_name_markers.h"

#include <optional>

namespace qvo::formats::zip {

class ZipLibarchive final : public shared::LibarchiveFormat {
public:
    // `markers`, read from the archive's central directory, outlive this.
    explicit ZipLibarchive(const ZipNameMarkers &markers);

    void enable(archive *a) override;
    bool reads(int libarchiveFormat) const override;
    const shared::MemberNames *names() const override;
    int32_t verdict(int32_t result, const shared::ReadSummary &summary) override;

private:
    // The names the central directory marks, read as UTF-8.
    class MarkedNames final : public shared::MemberNames {
    public:
        explicit MarkedNames(const ZipNameMarkers &markers) : MemberNames(markers.names), markers_(markers) {}
        bool marked(std::string_view raw) const override { return markers_.isMarked(raw); }

    private:
        const ZipNameMarkers &markers_;
    };

    const ZipNameMarkers &markers_;
    const MarkedNames names_;
};

} // namespace qvo::formats::zip
