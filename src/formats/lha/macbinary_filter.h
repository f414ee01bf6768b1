// MacLHA wraps each file in a MacBinary header that carries the Finder data
// and both forks.  When the header is certainly MacLHA's (same name, the
// reserved fields zero, lengths adding up) and the resource fork is empty,
// only the data fork is the file's content; otherwise the data stays as
// stored, so nothing is ever dropped.  The CRC covers the stored data.
#pragma once
#include "extract/extract_sink.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qvo::formats::lha {

class MacBinaryFilter {
public:
    static constexpr size_t kHeaderSize = 128;

    MacBinaryFilter(bool enabled, std::string rawName, uint64_t length)
        : enabled_(enabled && length >= kHeaderSize), rawName_(std::move(rawName)), length_(length)
    {
    }

    // Passes `data` on to the sink, less the wrapper.  Returns the sink's
    // result.
    int32_t write(extract::ExtractSink &sink, const char *data, size_t n);

    // A member shorter than the header was passed on as it came.
    int32_t finish(extract::ExtractSink &sink);

private:
    bool zero(size_t from, size_t to) const;
    bool isMacLhaHeader();

    bool enabled_;
    bool decided_ = false;
    std::string rawName_;
    uint64_t length_;
    std::string head_;
    uint64_t offset_ = 0;
    uint64_t dataFork_ = 0;
};

} // namespace qvo::formats::lha
