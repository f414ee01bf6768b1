#include "archivers/command/member_list_file.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace qvo::archivers::command {
namespace {

const char *kindField(extract::ListedMember::Kind kind)
{
    switch (kind) {
    case extract::ListedMember::Kind::File: return "F";
    case extract::ListedMember::Kind::Folder: return "D";
    case extract::ListedMember::Kind::Link: return "L";
    case extract::ListedMember::Kind::LinkLeadingOutside: return "X";
    }
    return "?";
}

void addField(std::string &out, const std::string &field)
{
    out += field;
    out += '\0';
}

} // namespace

bool writeMemberList(const std::filesystem::path &path, const std::vector<extract::ListedMember> &members)
{
    std::string out;
    for (const extract::ListedMember &m : members) {
        char crc[9];
        std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(m.crc32));
        addField(out, kindField(m.kind));
        addField(out, std::to_string(m.size));
        addField(out, crc);
        addField(out, m.name);
        addField(out, m.linkTarget);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    file.close();
    return static_cast<bool>(file);
}

} // namespace qvo::archivers::command
