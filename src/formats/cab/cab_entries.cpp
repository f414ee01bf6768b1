#include "formats/cab/cab_entries.h"

#include "archivers/include/qvo_archiver.h"
#include "text/cp932.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace qvo::formats::cab {

namespace {

bool isValidUtf8(const std::string &s)
{
    size_t i = 0;
    while (i < s.size()) {
        uint8_t c = uint8_t(s[i]);
        size_t extra;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            uint8_t cc = uint8_t(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

std::optional<std::string> cabName(const std::string &name, bool cp932, bool &utf8)
{
    utf8 = false;
    std::optional<std::string> bytes = cp932 ? text::nameInCp932(name) : name;
    if (!bytes)
        return std::nullopt;
    // No CP932 byte is '/' (trail bytes start at 0x40).
    std::string out = std::move(*bytes);
    bool ascii = true;
    for (char &c : out) {
        if (c == '/')
            c = '\\';
        if (uint8_t(c) >= 0x80)
            ascii = false;
    }
    // Bytes that are not UTF-8 (a name in a legacy code page) are stored as
    // they are, without claiming UTF-8.
    utf8 = !cp932 && !ascii && isValidUtf8(name);
    return out;
}

void dosDateTime(int64_t unixSeconds, uint16_t &date, uint16_t &time)
{
    time_t t = static_cast<time_t>(unixSeconds);
    struct tm tm {};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80) {
        date = (1 << 5) | 1; // 1980-01-01 00:00:00
        time = 0;
        return;
    }
    if (tm.tm_year > 207) {
        date = uint16_t(127 << 9 | 12 << 5 | 31); // 2107-12-31 23:59:58
        time = uint16_t(23 << 11 | 59 << 5 | 29);
        return;
    }
    date = uint16_t((tm.tm_year - 80) << 9 | (tm.tm_mon + 1) << 5 | tm.tm_mday);
    time = uint16_t(tm.tm_hour << 11 | tm.tm_min << 5 | tm.tm_sec / 2);
}

int32_t makeCabEntries(const std::vector<create::SourceEntry> &source, bool cp932Names,
                       std::vector<CabFileEntry> &out, std::string &error)
{
    out.clear();
    for (const auto &e : source) {
        uint64_t size = e.size;
        int64_t mtime = e.mtimeSec;
        uint32_t mode = e.mode;
        if (e.kind == create::SourceEntry::Kind::Directory)
            continue;
        if (e.kind == create::SourceEntry::Kind::Symlink) {
            // A cabinet has no links: keep the linked file's content under
            // the link's name.  A link to nothing or to a folder has no
            // content to keep.
            if (!e.linkTargetIsFile)
                continue;
            struct stat st;
            if (stat(e.diskPath.c_str(), &st) != 0) {
                error = "cannot examine " + e.diskPath.string() + ": " + std::strerror(errno);
                return archivers::kErrWrite;
            }
            size = static_cast<uint64_t>(st.st_size);
            mtime = st.st_mtim.tv_sec;
            mode = st.st_mode & 07777;
        }
        CabFileEntry f;
        bool utf8 = false;
        std::optional<std::string> name = cabName(e.name, cp932Names, utf8);
        if (!name)
            return archivers::kErrNameEncoding;
        f.name = std::move(*name);
        f.size = size;
        f.source = e.diskPath;
        dosDateTime(mtime, f.date, f.time);
        f.attribs = kAttribArchive;
        if (!(mode & S_IWUSR))
            f.attribs |= kAttribReadOnly;
        if (utf8)
            f.attribs |= kAttribNameIsUtf8;
        out.push_back(std::move(f));
    }
    return archivers::kOk;
}

} // namespace qvo::formats::cab
