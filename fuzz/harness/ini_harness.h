// The INI reader on a file of fuzzed content: the private-profile reader
// and the typed getters, then one write whose value must read back.
#pragma once
#include "platform/private_profile.h"
#include "scratch.h"
#include "settings/clsINICtrl.h"

#include <fstream>
#include <string>

namespace qvo::fuzz {

// The whole input is the file.  If its first line is "; SECTION|KEY|VALUE",
// that key is read and then written with VALUE.
inline void fuzzIni(const Scratch &scratch, const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const fs::path file = scratch.root() / "qvo3.ini";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::string section = "conv", key = "convType", value = "2";
    if (text.rfind("; ", 0) == 0) {
        std::string first = text.substr(2, text.find('\n') - 2);
        size_t a = first.find('|'), b = first.find('|', a == std::string::npos ? a : a + 1);
        if (a != std::string::npos && b != std::string::npos) {
            section = first.substr(0, a);
            key = first.substr(a + 1, b - a - 1);
            value = first.substr(b + 1);
        }
    }

    settings::clsINICtrl ini;
    ini.setFile(file.string());
    (void)ini.getVersion();
    static const char *const kKeys[][2] = {
        {"system", "mode"}, {"conv", "saveFolder"}, {"conv", "overWrite"},
        {"singlefilemode", "singleBeforeFileName"}, {"Public", "IniVersion"},
    };
    for (const auto &k : kKeys) {
        std::string s = ini.getString(k[0], k[1]);
        int32_t v = ini.getLong(k[0], k[1]);
        if (ini.getBool(k[0], k[1]) != (v > 0))
            fail("getBool disagrees with getLong");
        if (s.empty() && v != 0)
            fail("missing value read as a number");
        if (s != platform::getPrivateProfileString(k[0], k[1], "", file.string()))
            fail("getString differs from the profile reader");
    }
    (void)ini.getString(section, key);
    (void)ini.getLong(section, key);

    if (platform::writePrivateProfileString(section, key, value, file.string())) {
        std::string back = platform::getPrivateProfileString(section, key, "\x01", file.string());
        std::string want = value;
        if (back != want)
            fail("written value \"" + value + "\" reads back as \"" + back + "\"");
    }
}

} // namespace qvo::fuzz
