// The kinds of archive a library asks to have read.
#pragma once

namespace qvo::formats::shared {

enum class ArchiveFamily {
    Lha,  // LHA and its relatives (unlha32)
    Zip,  // ZIP only (unzip32)
    Cab,  // cabinets and cabinet sets (cab32)
    Rar,  // RAR 1.5 to 5, multi-volume sets (unrar32)
    Many, // ZIP first, also 7z, RAR and tar (7-zip32)
    Arj,  // ARJ archives and sets of volumes
};

} // namespace qvo::formats::shared
