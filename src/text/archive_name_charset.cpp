#include "text/archive_name_charset.h"

#include "text/archive_names.h"
#include "text/cp932.h"
#include "text/name_charset_guess.h"

#include <algorithm>

namespace qvo::text {
namespace {

constexpr size_t kMaxSampleBytes = 256 * 1024;
const char *const kCp932 = "CP932";

// UTF-8 apart from LHA's 0xFF folder separators, a byte UTF-8 never uses.
bool isUtf8Name(std::string_view raw)
{
    size_t start = 0;
    for (size_t i = 0; i <= raw.size(); ++i) {
        if (i == raw.size() || static_cast<unsigned char>(raw[i]) == 0xFF) {
            if (!isValidUtf8(raw.substr(start, i - start)))
                return false;
            start = i + 1;
        }
    }
    return true;
}

} // namespace

ArchiveNameCharset::ArchiveNameCharset(std::string chosen, bool preferOem)
    : chosen_(!chosen.empty()), preferOem_(preferOem), charset_(chosen.empty() ? kCp932 : std::move(chosen))
{
}

void ArchiveNameCharset::add(std::string_view raw, NameOrigin origin)
{
    if (chosen_ || isAscii(raw) || sampleBytes_ + raw.size() > kMaxSampleBytes)
        return;
    if (origin == NameOrigin::Amiga || (origin == NameOrigin::Utf8IfValid && isUtf8Name(raw)))
        return; // decided by its origin
    std::string name(raw);
    std::replace(name.begin(), name.end(), '\xFF', '/'); // LHA's separator is no character
    sampleBytes_ += name.size();
    sample_.push_back(std::move(name));
    if (origin == NameOrigin::OemCodePage)
        ++oemNames_;
}

void ArchiveNameCharset::decide()
{
    if (chosen_)
        return;
    charset_ = guessNameCharset(sample_, preferOem_ || oemNames_ * 2 > sample_.size());
    sample_.clear();
    sample_.shrink_to_fit();
}

std::string ArchiveNameCharset::charsetFor(std::string_view raw, NameOrigin origin) const
{
    if (chosen_)
        return charset_;
    if (origin == NameOrigin::Amiga)
        return "ISO-8859-1";
    if (origin == NameOrigin::Utf8IfValid && !isAscii(raw) && isUtf8Name(raw))
        return "UTF-8";
    return charset_;
}

std::string ArchiveNameCharset::decode(std::string_view raw, NameOrigin origin) const
{
    return archiveNameToUtf8(raw, charsetFor(raw, origin));
}

std::string ArchiveNameCharset::decodeLhaPath(std::string_view raw, NameOrigin origin) const
{
    return lhaPathToUtf8(raw, charsetFor(raw, origin));
}

} // namespace qvo::text
