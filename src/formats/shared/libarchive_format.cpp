#include "formats/shared/libarchive_format.h"

#include "text/archive_names.h"
#include "text/cp932.h"

namespace qvo::formats::shared {

bool MemberNames::marked(std::string_view raw) const
{
    return text::isValidUtf8(raw);
}

std::string MemberNames::decode(std::string_view raw, bool utf8) const
{
    return utf8 ? text::archiveNameToUtf8(raw, text::NameEncoding::Utf8)
                : unmarked_.decode(raw, text::NameOrigin::Unknown);
}

} // namespace qvo::formats::shared
