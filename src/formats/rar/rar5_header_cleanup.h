// RAR 5 headers that libarchive 3.6 misreads, rewritten for it.
//
// libarchive 3.6 reads the main archive header field by field and expects
// the next block right after what it understood, so bytes after the locator
// record (allowed: a header's size says where it ends) make it read garbage
// as the next block; and a block of an unknown type that is marked "skip if
// unknown" stops it too.  For an archive with either, rar5CleanLayout()
// describes the archive as libarchive can read it: the main header rebuilt
// from its own fields (the locator, an optional quick-open hint, left out),
// unknown blocks left out, every other byte taken from the file.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qvo::formats::rar {

// A stretch of the file (offset, size) or, when bytes is not empty,
// bytes that take the place of a header.
struct ArchivePiece {
    uint64_t offset = 0;
    uint64_t size = 0;
    std::string bytes;
};

// Empty when libarchive reads the archive as it is, and for volumes of a
// set, encrypted headers and anything that does not start as RAR 5.
std::vector<ArchivePiece> rar5CleanLayout(const std::filesystem::path &path);

} // namespace qvo::formats::rar
