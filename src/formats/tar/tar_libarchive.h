// tar read with libarchive, as libarchive takes it: 7-zip32 hands it the tar
// archives it is given, plain or compressed with gzip, bzip2 or xz, with no
// hooks of ours yet.
#pragma once
#include "formats/shared/libarchive_format.h"

namespace qvo::formats::tar {

class TarLibarchive final : public shared::LibarchiveFormat {
public:
    void enable(archive *a) override;
    bool reads(int libarchiveFormat) const override;
};

} // namespace qvo::formats::tar
