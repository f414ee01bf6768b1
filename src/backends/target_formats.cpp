#include "backends/target_formats.h"

#include "base/ascii.h"

namespace qvo::backends {

namespace {

// What the rest of the program takes for granted of the table.
constexpr bool rowsAreWellFormed()
{
    int32_t index = 0;
    for (const TargetFormat &row : targetFormats()) {
        if (row.index != index++ || row.key.empty() || row.extensions.empty() || row.levels.empty() ||
            !row.storesLevel(row.defaultLevel))
            return false;
        for (const NamedLevel &level : row.levels)
            if (!row.storesLevel(level.value))
                return false;
    }
    return true;
}
static_assert(rowsAreWellFormed(), "target rows: indexes in order from 0, a key, an extension and levels, "
                                   "every level (and the default) one the settings store");

} // namespace

const TargetFormat *targetFormatAt(int32_t index)
{
    if (index < 0 || size_t(index) >= targetFormats().size())
        return nullptr;
    return &targetFormats()[size_t(index)];
}

const TargetFormat *targetFormatByKey(std::string_view key)
{
    for (const TargetFormat &row : targetFormats())
        if (base::asciiEqualsIgnoringCase(row.key, key))
            return &row;
    return nullptr;
}

const TargetFormat *targetFormatByExtension(std::string_view extension)
{
    for (const TargetFormat &row : targetFormats())
        if (base::asciiEqualsIgnoringCase(row.extension(), extension))
            return &row;
    return nullptr;
}

const TargetFormat *targetFormatNamed(std::string_view name)
{
    const TargetFormat *row = targetFormatByExtension(name);
    return row ? row : targetFormatByKey(name);
}

const NamedLevel *levelNamed(const TargetFormat &format, std::string_view name)
{
    for (const NamedLevel &level : format.levels)
        if (level.name == name)
            return &level;
    return nullptr;
}

std::string_view levelName(const TargetFormat &format, int32_t value)
{
    for (const NamedLevel &level : format.levels)
        if (level.value == value)
            return level.name;
    return {};
}

} // namespace qvo::backends
