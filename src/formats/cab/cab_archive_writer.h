// Writes a cabinet: the CAB writer of create/archive_writer.h, making the
// file records that cabinet_writer.h packs into folders.
//
// Methods "stored", "mszip", or "lzx" with its window (level 15 to 21
// bits); LZX folders stay below 1 GiB, since decoders disagree on E8
// translation past it.  A cabinet has no folder or link entries: files
// keep their paths ('\'-separated), a link to a file inside the packed
// folder is stored as that file's content, and what is lost (empty
// folders, other links) is named in leftOut.  Names go in UTF-8 with the
// UTF-8 attribute where they are not ASCII, or with NameEncoding::Cp932 in
// CP932 without it.  Times are DOS times in local time; a file without
// write permission is read-only.
#pragma once
#include "create/archive_writer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvo::formats::cab {

// The stored name: '/' becomes '\'.  `utf8` tells whether the name needs the
// UTF-8 attribute (valid UTF-8 that is not plain ASCII).  With `cp932` the
// name goes in CP932 without the attribute; nothing when it has no exact
// CP932 form.
std::optional<std::string> cabName(const std::string &name, bool cp932, bool &utf8);

// DOS date and time of a moment, in local time as cabinet readers take it;
// clamped to the range the fields can hold (1980 to 2107).
void dosDateTime(int64_t unixSeconds, uint16_t &date, uint16_t &time);

create::WriteResult writeCabArchive(const std::vector<create::WriterEntry> &entries,
                                    const create::WriterOptions &options, base::SeekableOutput &out);

} // namespace qvo::formats::cab
