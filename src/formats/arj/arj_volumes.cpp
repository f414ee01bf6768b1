#include "formats/arj/arj_volumes.h"

#include "archivers/include/qvo_archiver.h"
#include "base/ascii.h"
#include "formats/arj/arj_format.h"
#include "identify/arj_headers.h"
#include "platform/file_reading.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

namespace qvo::formats::arj {
namespace {

using archivers::kOk;
using archivers::kErrCorrupt;
using archivers::kErrOpenArchive;

namespace fs = std::filesystem;

// Self-extractors are well below this; ARJ itself looks no further.
constexpr uint64_t kStubScanLimit = 16ull << 20;
constexpr unsigned kLastVolumeNumber = 999;
constexpr size_t kMaxVolumes = kLastVolumeNumber + 1;
// Files beside a later volume tried as its first one.
constexpr size_t kMaxFirstCandidates = 64;

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Three digits for `n` (below 1000).
std::string threeDigits(unsigned n)
{
    const std::string s = std::to_string(n);
    return std::string(3 - s.size(), '0') + s;
}

// A file name split at its last dot (a leading dot starts no extension).
struct NameParts {
    std::string stem;
    std::string ext; // without the dot; empty with no dot

    explicit NameParts(const std::string &name)
    {
        const size_t dot = name.rfind('.');
        stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
        ext = stem.size() == name.size() ? std::string() : name.substr(dot + 1);
    }
    std::string dottedExt() const { return ext.empty() ? std::string() : "." + ext; }
    // Alternative naming: the volume number at the end of the stem.
    bool stemNumbered() const { return stem.size() >= 3 && allDigits(stem.substr(stem.size() - 3)); }
};

// Whether an extension is one ARJ gives volumes after the first: any
// character and two digits, or three digits.
bool isVolumeExtension(std::string_view ext)
{
    return ext.size() == 3 && allDigits(ext.substr(1));
}

// "x.a05" -> "x.a06", "x.a99" -> "x.100", "x.100" -> "x.101", "x.arj" ->
// "x.a01", "x" -> "x.e01" (a self-extractor without its ".exe").
std::string nextByExtension(const std::string &name)
{
    const NameParts parts(name);
    const std::string &ext = parts.ext;
    if (!isVolumeExtension(ext))
        return parts.stem + "." + (ext.empty() ? 'e' : ext[0]) + "01";
    const bool lettered = !allDigits(ext);
    const auto n = static_cast<unsigned>(std::stoul(lettered ? ext.substr(1) : ext));
    if (n >= kLastVolumeNumber)
        return {};
    if (lettered && n < 99)
        return parts.stem + "." + ext[0] + threeDigits(n + 1).substr(1);
    return parts.stem + "." + threeDigits(n + 1);
}

// "archive.arj" -> "arch001.arj", "arch001.arj" -> "arch002.arj".
std::string nextByStem(const std::string &name)
{
    const NameParts parts(name);
    const std::string lead = parts.stem.substr(0, parts.stem.size() - std::min<size_t>(3, parts.stem.size()));
    if (!parts.stemNumbered())
        return lead + "001" + parts.dottedExt();
    const auto n = static_cast<unsigned>(std::stoul(parts.stem.substr(lead.size())));
    return n >= kLastVolumeNumber ? std::string() : lead + threeDigits(n + 1) + parts.dottedExt();
}

// `name` in `folder`, or a file there whose name differs only in case.
std::optional<fs::path> findBeside(const fs::path &folder, const std::string &name)
{
    if (name.empty())
        return std::nullopt;
    std::error_code ec;
    const fs::path exact = folder / name;
    if (fs::is_regular_file(exact, ec))
        return exact;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (base::asciiEqualsIgnoringCase(it->path().filename().string(), name) && it->is_regular_file(ec))
            return it->path();
    }
    return std::nullopt;
}

fs::path folderOf(const fs::path &p)
{
    return p.has_parent_path() ? p.parent_path() : fs::path(".");
}

} // namespace

int32_t openArjVolume(const fs::path &path, ArjVolume &out)
{
    out = ArjVolume{};
    out.fd = platform::openRegularFile(path.string(), out.size);
    if (!out.fd)
        return kErrOpenArchive;
    const std::optional<uint64_t> at = identify::findArjArchive(out.fd.get(), out.size, kStubScanLimit);
    if (!at)
        return kErrOpenArchive;
    switch (readArjHeader(out.fd.get(), *at, out.size, out.main, out.firstHeader)) {
    case HeaderRead::Ok:
        return kOk;
    case HeaderRead::End:
    case HeaderRead::Damaged:
    case HeaderRead::Truncated:
        break;
    }
    return kErrCorrupt; // the basic part holds but its extended headers do not
}

bool arjVolumeHasNext(const ArjVolume &volume)
{
    return (volume.main.flags & kFlagVolume) != 0;
}

fs::path nextArjVolumeName(const fs::path &volume, ArjVolumeNaming naming)
{
    const std::string name = volume.filename().string();
    const std::string next = naming == ArjVolumeNaming::Extension ? nextByExtension(name) : nextByStem(name);
    return next.empty() ? fs::path() : volume.parent_path() / next;
}

fs::path findNextArjVolume(const fs::path &volume, std::optional<ArjVolumeNaming> &naming)
{
    const fs::path folder = folderOf(volume);
    for (ArjVolumeNaming tried : {ArjVolumeNaming::Extension, ArjVolumeNaming::Stem}) {
        if (naming && *naming != tried)
            continue;
        const fs::path name = nextArjVolumeName(volume, tried);
        if (name.empty())
            continue;
        if (auto found = findBeside(folder, name.filename().string())) {
            naming = tried;
            return *found;
        }
    }
    return {};
}

ArjVolumeSet findArjVolumes(const fs::path &first)
{
    ArjVolumeSet set;
    ArjVolume volume;
    if (openArjVolume(first, volume) != kOk)
        return set;
    set.parts.push_back(first);
    std::optional<ArjVolumeNaming> naming;
    while (arjVolumeHasNext(volume) && set.parts.size() < kMaxVolumes) {
        const fs::path next = findNextArjVolume(set.parts.back(), naming);
        if (next.empty() || openArjVolume(next, volume) != kOk) {
            set.complete = false;
            break;
        }
        set.parts.push_back(next);
    }
    return set;
}

fs::path firstArjVolume(const fs::path &part)
{
    const std::string name = part.filename().string();
    const NameParts parts(name);
    // Files that may start the set: the same stem with another extension,
    // or (alternative naming) the same extension and the stem's start.
    const bool byExtension = isVolumeExtension(parts.ext);
    const bool byStem = parts.stemNumbered();
    if (!byExtension && !byStem)
        return {};
    const std::string stem = base::asciiLower(parts.stem);
    const std::string stemLead = byStem ? stem.substr(0, stem.size() - 3) : std::string();

    std::vector<fs::path> candidates;
    std::error_code ec;
    for (auto it = fs::directory_iterator(folderOf(part), ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string otherName = it->path().filename().string();
        if (otherName == name || !it->is_regular_file(ec))
            continue;
        const NameParts other(otherName);
        const std::string otherStem = base::asciiLower(other.stem);
        const bool sameStem = byExtension && otherStem == stem &&
                              (!isVolumeExtension(other.ext) || other.ext == "001");
        const bool stemStart = byStem && base::asciiEqualsIgnoringCase(other.ext, parts.ext) &&
                               otherStem.compare(0, stemLead.size(), stemLead) == 0 && !other.stemNumbered();
        if (sameStem || stemStart)
            candidates.push_back(it->path());
    }
    std::sort(candidates.begin(), candidates.end());
    if (candidates.size() > kMaxFirstCandidates)
        candidates.resize(kMaxFirstCandidates);
    for (const fs::path &candidate : candidates) {
        const ArjVolumeSet set = findArjVolumes(candidate);
        for (size_t i = 1; i < set.parts.size(); ++i) {
            if (fs::equivalent(set.parts[i], part, ec))
                return candidate;
        }
    }
    return {};
}

} // namespace qvo::formats::arj
