#include "corpus_support.h"

#include "base/ascii.h"
#include "formats/readers.h"

#include <algorithm>

#include <iconv.h>
#include <sstream>

namespace qvo::test {

namespace fs = std::filesystem;

namespace {

std::string trim(const std::string &text)
{
    const size_t first = text.find_first_not_of(" `");
    const size_t last = text.find_last_not_of(" `");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

bool validUtf8(const std::string &text)
{
    size_t k = 0;
    while (k < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[k]);
        const size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || k + len > text.size())
            return false;
        for (size_t j = 1; j < len; ++j)
            if ((static_cast<unsigned char>(text[k + j]) & 0xC0) != 0x80)
                return false;
        k += len;
    }
    return true;
}

std::string fromCp932(const std::string &raw)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == iconv_t(-1))
        return raw;
    std::string out(raw.size() * 4 + 4, '\0');
    char *in = const_cast<char *>(raw.data());
    size_t inLeft = raw.size();
    char *outPtr = out.data();
    size_t outLeft = out.size();
    const size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == size_t(-1))
        return raw;
    out.resize(out.size() - outLeft);
    return out;
}

std::string normalName(const std::string &raw)
{
    std::string out;
    std::istringstream parts(raw);
    std::string part;
    while (std::getline(parts, part, '/')) {
        if (!out.empty())
            out += '/';
        out += validUtf8(part) ? part : fromCp932(part);
    }
    return out;
}

} // namespace

std::string programFormat(const std::string &corpusFormat)
{
    const std::string name = corpusFormat.substr(0, corpusFormat.find_first_of("+( "));
    if (name == "LZH")
        return "LHA";
    if (name == "RAR4" || name == "RAR5")
        return "RAR";
    return name;
}

std::vector<CorpusArchive> readableCorpusArchives(bool otherNames)
{
    const std::vector<std::string> read = formats::formatsRead();
    const fs::path corpus(QVO_CORPUS_DIR);
    std::istringstream in(readFile(corpus / "READERS.md"));
    std::string line;
    bool inMatrix = false;
    static const char *const tools[] = {"lhasa", "bsdtar", "7zz", "cabextract", "unar", "unrar-free"};
    std::vector<CorpusArchive> out;
    while (std::getline(in, line)) {
        if (line.rfind("## Full matrix", 0) == 0)
            inMatrix = true;
        if (!inMatrix || line.rfind("| `", 0) != 0)
            continue;
        std::vector<std::string> cells;
        std::istringstream fields(line.substr(1));
        std::string cell;
        while (std::getline(fields, cell, '|'))
            cells.push_back(trim(cell));
        if (cells.size() < 9 || std::find(read.begin(), read.end(), programFormat(cells[1])) == read.end())
            continue;
        const std::string &path = cells[0];
        const size_t dot = path.rfind('.');
        const std::string ext = dot < path.rfind('/') ? "" : path.substr(dot + 1);
        const bool usualName = ext == path.substr(0, path.find('/'));
        const bool firstPiece = path.size() > 3 && path.compare(path.size() - 3, 3, "_aa") == 0;
        if (usualName == otherNames ||
            !(cells[2] == "readable" || (otherNames && firstPiece && cells[2].rfind("readable", 0) == 0)))
            continue;
        CorpusArchive archive{path, cells[1], {}};
        for (int t = 0; t < 6; ++t)
            if (cells[size_t(3 + t)] == "OK")
                archive.readers.push_back(tools[t]);
        out.push_back(archive);
    }
    return out;
}

bool extractWith(const std::string &tool, const fs::path &archive, const fs::path &dir, std::string *log)
{
    fs::create_directories(dir);
    const std::string a = sh(fs::absolute(archive)), d = sh(dir);
    std::string cmd;
    if (tool == "lhasa")
        cmd = "lhasa xqfw=" + d + " " + a;
    else if (tool == "bsdtar")
        cmd = "bsdtar -xf " + a + " -C " + d;
    else if (tool == "7zz")
        cmd = "7zz x -y -bd -o" + d + " " + a + " >/dev/null";
    else if (tool == "cabextract")
        cmd = "cabextract -q -e CP932 -d " + d + " " + a;
    else if (tool == "unar")
        cmd = "unar -q -f -D -o " + d + " " + a;
    else if (tool == "unzip")
        cmd = "unzip -qq -o " + a + " -d " + d;
    else
        return false;
    return runCommand("LC_ALL=C.UTF-8 timeout 60 " + cmd + " </dev/null", log) == 0;
}

std::map<std::string, ExtractedEntry> extractedTree(const fs::path &dir, bool foldCase)
{
    std::map<std::string, ExtractedEntry> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        ExtractedEntry entry;
        if (it->is_symlink())
            entry.kind = 'l';
        else if (it->is_directory())
            entry.kind = 'd';
        else if (it->is_regular_file()) {
            entry.kind = 'f';
            entry.data = readFile(it->path());
        }
        std::string name = normalName(it->path().lexically_relative(dir).string());
        if (foldCase)
            name = base::asciiLower(name);
        out[name] = entry;
    }
    return out;
}

std::string treeDifferences(const std::map<std::string, ExtractedEntry> &reference,
                            const std::map<std::string, ExtractedEntry> &converted, bool compareFolders)
{
    std::string out;
    auto counts = [&](const ExtractedEntry &e) { return e.kind == 'f' || (compareFolders && e.kind == 'd'); };
    for (const auto &[name, entry] : reference) {
        if (!counts(entry))
            continue;
        auto other = converted.find(name);
        if (other == converted.end())
            out += " missing:" + name;
        else if (other->second.kind != entry.kind)
            out += " kind:" + name;
        else if (other->second.data.size() != entry.data.size())
            out += " size:" + name + "(" + std::to_string(entry.data.size()) + "/" +
                   std::to_string(other->second.data.size()) + ")";
        else if (other->second.data != entry.data)
            out += " contents:" + name;
    }
    for (const auto &[name, entry] : converted)
        if (counts(entry) && !reference.count(name))
            out += " extra:" + name;
    return out;
}

} // namespace qvo::test
