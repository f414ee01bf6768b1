// 7z read with libarchive, as libarchive takes it: 7-zip32 hands it the 7z
// archives it is given, with no hooks of ours yet.
#pragma once
#include "formats/shared/libarchive_format.h"

namespace qvo::formats::sevenzip {

class SevenZipLibarchive final : public shared::LibarchiveFormat {
public:
    void enable(archive *a) override;
    bool reads(int libarchiveFormat) const override;
};

} // namespace qvo::formats::sevenzip
