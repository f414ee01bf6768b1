#include "settings/clsINICtrl.h"

#include "base/ascii.h"
#include "platform/private_profile.h"

#include <charconv>
#include <filesystem>

namespace qvo::settings {
namespace {

constexpr const char *versionSection = "Public";
constexpr const char *versionKey = "IniVersion";

} // namespace

int32_t parseStoredLong(const std::string &text)
{
    if (text.empty())
        return 0;
    std::string lower = base::asciiLower(text);
    if (lower == "true")
        return 1;
    if (lower == "false")
        return 0;
    const char *first = text.data();
    const char *last = text.data() + text.size();
    if (*first == '+' && text.size() > 1 && text[1] != '-')
        ++first;
    int32_t value = 0;
    auto [end, ec] = std::from_chars(first, last, value, 10);
    if (ec != std::errc() || end != last)
        return -1;
    return value;
}

void clsINICtrl::setFile(const std::string &fileName)
{
    fileName_ = fileName;
    loadVersion();
}

void clsINICtrl::loadVersion() { version_ = getLong(versionSection, versionKey); }

void clsINICtrl::setVersion(int32_t ver)
{
    setLong(versionSection, versionKey, ver);
    version_ = ver;
}

bool clsINICtrl::isFile() const
{
    std::error_code ec;
    return !fileName_.empty() && std::filesystem::is_regular_file(fileName_, ec);
}

std::string clsINICtrl::getString(const std::string &section, const std::string &key) const
{
    if (fileName_.empty())
        return {};
    return platform::getPrivateProfileString(section, key, "", fileName_);
}

int32_t clsINICtrl::getLong(const std::string &section, const std::string &key) const
{
    if (fileName_.empty() || !isFile())
        return -1;
    return parseStoredLong(getString(section, key));
}

bool clsINICtrl::getBool(const std::string &section, const std::string &key) const
{
    return getLong(section, key) > 0;
}

void clsINICtrl::setString(const std::string &section, const std::string &key,
                           const std::string &value)
{
    if (!fileName_.empty())
        platform::writePrivateProfileString(section, key, value, fileName_);
}

void clsINICtrl::setLong(const std::string &section, const std::string &key, int32_t value)
{
    setString(section, key, std::to_string(value));
}

void clsINICtrl::setBool(const std::string &section, const std::string &key, bool value)
{
    setLong(section, key, value ? 1 : 0);
}

} // namespace qvo::settings
