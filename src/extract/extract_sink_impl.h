// What an ExtractSink holds, private to src/extract/: the order of the
// members and their results, the file member being written, and the
// parts it composes, each a class that owns its state (made_names.h,
// folder_walk.h, folder_attributes.h, file_hand_off.h, pending_links.h,
// listed_members.h, extract_sink_space.h).  extract_sink.cpp takes the
// members in order; extract_sink_files.cpp writes file members and
// extract_sink_links.cpp takes links.
#pragma once
#include "extract/extract_sink.h"

#include "base/unique_fd.h"
#include "extract/extract_sink_space.h"
#include "extract/file_hand_off.h"
#include "extract/folder_attributes.h"
#include "extract/folder_walk.h"
#include "extract/listed_members.h"
#include "extract/made_names.h"
#include "extract/member_path.h"
#include "extract/pending_links.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace qvo::extract {

struct ExtractSink::Impl {
    explicit Impl(ExtractOptions o);

    // --- Members in order and their results (extract_sink.cpp) ------------
    const ExtractOptions options;
    const mode_t umaskBits;
    const base::UniqueFd root;
    // Files are created under their final names (no temporary name and
    // rename) when the destination was private and empty at the start:
    // there is nothing to protect there and nobody else to see a partial file.
    const bool directCreate;
    int32_t firstFailure = archivers::kOk;
    uint64_t firstFailureMember = UINT64_MAX;
    uint64_t member = 0; // sequence number of the member begun last
    int32_t lastResult = archivers::kOk; // of the member begun last
    bool lastWasLink = false; // ... and it was a link, now pending
    bool stopped = false;
    bool finished = false;

    // The failure of the earliest member is the one reported.
    void fail(int32_t code) { failAt(member, code); }
    void failAt(uint64_t memberNumber, int32_t code)
    {
        if (code != archivers::kOk && memberNumber < firstFailureMember) {
            firstFailure = code;
            firstFailureMember = memberNumber;
        }
    }
    bool isStopped() const { return stopped || walk.volumeFull() || handOff.outOfSpace(); }

    int32_t begin(const MemberInfo &m);
    int32_t claimName(const PathComponents &path);
    int folderForNewEntry(const PathComponents &path, int32_t &err);
    int32_t beginFolder(const MemberInfo &m, const PathComponents &path);
    bool nameIsKept(int dirFd, const std::string &name) const;

    // --- The parts ---------------------------------------------------------
    MadeNames madeNames;
    FolderAttributes folderAttributes;
    FolderWalk walk;
    FileHandOff handOff;
    PendingLinks links;
    ListedMembers listed;
    SpaceGuard space;

    // Waits until every file handed over is on disk or failed.
    void flushHandOff();

    // --- File members (extract_sink_files.cpp) -----------------------------
    struct OpenFile {
        int dir = -1; // borrowed from the folder walk, which keeps it open meanwhile
        base::UniqueFd fd;
        // Handed over: the data is gathered here and the writer thread
        // creates the file (in `folder`, under `finalName`) at the end.
        bool handed = false;
        FolderWalk::Folder folder;
        std::vector<uint8_t> data;
        std::string tempName; // the name written (none yet when empty); the final name when `direct`
        std::string finalName;
        bool direct = false;  // created under its final name
        bool modeSet = false; // created with its final permissions
        uint64_t written = 0;
        MemberInfo info;
    };
    std::optional<OpenFile> file;

    mode_t finalFileMode(const std::optional<uint32_t> &m) const
    {
        mode_t bits = m ? static_cast<mode_t>(*m) & 0777 : 0666;
        return (bits & ~umaskBits) | S_IRUSR;
    }
    int32_t beginFile(const MemberInfo &m, PathComponents path);
    int32_t write(const void *data, size_t size);
    int32_t end(bool dataOk, int32_t failure);
    void abandonFile(int32_t code);
    int32_t placeUnnamedFile();
    int32_t handOver();

    // --- Links (extract_sink_links.cpp) ------------------------------------
    // Links as data (ExtractOptions::linksAsData) where that is safe: in a
    // folder of the user's own that held nothing, nobody else can use a
    // link made there before the conversion packs it.
    bool keepsLinksAsData() const { return options.linksAsData && directCreate; }
    int32_t beginLink(const MemberInfo &m, PathComponents path);
    int32_t makeHardlink(const MemberInfo &m, PathComponents path);
};

} // namespace qvo::extract
