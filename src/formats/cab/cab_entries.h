// Turns the walked source tree into cabinet file records: names, DOS times
// and attributes.
#pragma once
#include "create/source_tree.h"
#include "formats/cab/cabinet_writer.h"

#include <cstdint>
#include <ctime>
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

// Cabinet records for the files and links to files in `source` (folders are
// not entries in a cabinet; links whose target is no file are left out),
// names in CP932 with `cp932Names`.  Returns kOk, kErrWrite with `error`
// set when a linked file cannot be examined, or kErrNameEncoding.
int32_t makeCabEntries(const std::vector<create::SourceEntry> &source, bool cp932Names,
                       std::vector<CabFileEntry> &out, std::string &error);

} // namespace qvo::formats::cab
