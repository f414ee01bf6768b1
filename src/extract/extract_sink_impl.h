// What an ExtractSink holds, private to src/extract/.  The state of each
// concern stands beside the functions that use it, and each group is
// defined in the file its heading names.
#pragma once
#include "extract/extract_sink.h"

#include "extract/extract_sink_space.h"
#include "extract/file_writer_thread.h"
#include "extract/member_path.h"
#include "base/unique_fd.h"

#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace qvo::extract {

inline timespec toTimespec(int64_t sec, uint32_t nsec)
{
    timespec t{};
    t.tv_sec = static_cast<time_t>(sec);
    t.tv_nsec = nsec < 1000000000u ? static_cast<long>(nsec) : 0;
    return t;
}

struct ExtractSink::Impl {
    explicit Impl(ExtractOptions o)
        : options(std::move(o)), space(options.freeSpaceMargin, options.maxTotalBytes)
    {
    }

    // --- Members in order and their results (extract_sink.cpp) ------------
    ExtractOptions options;
    mode_t umaskBits = 022;
    base::UniqueFd root;
    int32_t firstFailure = archivers::kOk;
    uint64_t firstFailureMember = UINT64_MAX;
    uint64_t member = 0; // sequence number of the member begun last
    int32_t lastResult = archivers::kOk; // of the member begun last
    bool lastWasLink = false; // ... and it was a link, now pending
    bool stopped = false;
    bool finished = false;
    // Paths of the files, hard links and symbolic links of this call, made,
    // handed over or waiting for finish(): within one archive a second
    // member of a name would replace the first and lose it, so it is
    // refused whatever `overwrite` says (which is about what the
    // destination held before).  Folders are not here: a folder named
    // twice loses nothing, and anything else meets a folder on the disk.
    std::unordered_set<std::string> madeNames;

    // The failure of the earliest member is the one reported.
    void fail(int32_t code) { failAt(member, code); }
    void failAt(uint64_t memberNumber, int32_t code)
    {
        if (code != archivers::kOk && memberNumber < firstFailureMember) {
            firstFailure = code;
            firstFailureMember = memberNumber;
        }
    }

    bool isStopped() const { return stopped || (writer && writer->outOfSpace()); }

    int32_t begin(const MemberInfo &m);
    int32_t claimName(const PathComponents &path);
    bool madeName(const PathComponents &path, size_t count) const
    {
        return madeNames.count(joinComponents(path, count)) != 0;
    }
    int folderForNewEntry(const PathComponents &path, int32_t &err);

    // --- The folder walk (extract_sink_folders.cpp) ------------------------
    // One folder fd kept open: archives list most members of a folder
    // together.  Files waiting for the writer thread keep theirs open (see
    // heldFolders).
    std::string cachedFolderKey;
    std::shared_ptr<const base::UniqueFd> cachedFolder;

    mode_t workingFolderMode() const { return (0777 & ~umaskBits) | S_IRWXU; }
    base::UniqueFd openFolder(const PathComponents &path, size_t count, bool create, int32_t &err);
    int parentFolder(const PathComponents &path, bool create, int32_t &err);

    // --- File members (extract_sink_files.cpp) -----------------------------
    struct OpenFile {
        int dir = -1; // borrowed from the folder cache, which stays put meanwhile
        base::UniqueFd fd;
        // Handed over: the data is gathered here and the writer thread
        // creates the file (in `folder`, under `finalName`) at the end.
        bool handed = false;
        std::shared_ptr<const base::UniqueFd> folder;
        std::vector<uint8_t> data;
        std::string tempName; // the name written (none yet when empty); the final name when `direct`
        std::string finalName;
        bool direct = false;  // created under its final name
        bool modeSet = false; // created with its final permissions
        uint64_t written = 0;
        MemberInfo info;
    };
    std::optional<OpenFile> file;
    unsigned tempCounter = 0;
    // Files are created under their final names (no temporary name and
    // rename) when the destination was private and empty at the start:
    // there is nothing to protect there and nobody else to see a partial file.
    bool directCreate = false;

    mode_t finalFileMode(const std::optional<uint32_t> &m) const
    {
        mode_t bits = m ? static_cast<mode_t>(*m) & 0777 : 0666;
        return (bits & ~umaskBits) | S_IRUSR;
    }
    int32_t beginFile(const MemberInfo &m, PathComponents path);
    int32_t write(const void *data, size_t size);
    int32_t end(bool dataOk, int32_t failure);
    void abandonFile(int32_t code);
    int32_t placeEntry(int dir, const std::string &from, const std::string &to);
    int32_t placeUnnamedFile();
    std::string nextTempName(const char *suffix);
    static mode_t entryAt(int dirFd, const std::string &name);
    bool nameIsKept(int dirFd, const std::string &name) const;

    // --- Small files given to the writer thread (extract_sink_hand_off.cpp)
    // Small files of a private destination are created by a writer thread
    // (see FileWriterThread).  Only files go there, and only under names
    // that nothing else in the folder can hold (the folder was empty and is
    // private): every name handed over is remembered, and anything that
    // meets one of them (the same name again, a folder or a link there)
    // waits until the writer is done before looking at the folder (see
    // madeNames: a name is never handed over twice).
    std::unique_ptr<FileWriterThread> writer;
    bool writerUnavailable = false;
    // The folders that files waiting for the writer keep open, by path: a
    // folder met again takes the descriptor they hold instead of opening
    // another, and at most kMaxHeldFolders are held at once.  Members that
    // alternate between folders would otherwise hold one descriptor per
    // waiting file, as many as the writer is behind.  Archives list the
    // files of a folder together: a few held folders keep the writer busy.
    static constexpr size_t kMaxHeldFolders = 4;
    std::unordered_map<std::string, std::weak_ptr<const base::UniqueFd>> heldFolders;

    std::shared_ptr<const base::UniqueFd> heldFolder(const std::string &key) const;
    void holdCachedFolder();
    bool handsOver(const MemberInfo &m);
    int32_t handOver();
    void flushWriter();

    // --- Links (extract_sink_links.cpp) ------------------------------------
    struct PendingLink {
        PathComponents path; // the link itself
        std::string target;
        std::optional<int64_t> mtimeSec;
        uint32_t mtimeNsec = 0;
    };
    std::vector<PendingLink> links;

    // Links as data (ExtractOptions::linksAsData) where that is safe: in a
    // folder of the user's own that held nothing, nobody else can use a
    // link made there before the conversion packs it.
    bool keepsLinksAsData() const { return options.linksAsData && directCreate; }
    // Text a link may hold as data: not empty, no NUL byte.
    static bool isLinkText(const std::string &target)
    {
        return !target.empty() && target.find('\0') == std::string::npos;
    }
    int32_t beginLink(const MemberInfo &m, PathComponents path);
    int32_t makeHardlink(const MemberInfo &m, PathComponents path);
    void makeLinks();
    int32_t makeLink(const PendingLink &link);
    void removeLink(const PendingLink &link);
    static PathComponents parentOf(const PathComponents &path);

    // --- Folder members and attributes (extract_sink_folder_attributes.cpp)
    // What finish() does to a folder: the time and mode of its member, or
    // just the final mode of a folder made on the way.
    struct FolderState {
        PathComponents path;
        bool created = false; // made by this sink (with owner rwx kept)
        bool named = false;   // a folder member named it
        std::optional<int64_t> mtimeSec;
        uint32_t mtimeNsec = 0;
        std::optional<uint32_t> unixMode;
    };
    std::map<std::string, FolderState> folders;

    mode_t finalFolderMode(const std::optional<uint32_t> &m) const
    {
        mode_t bits = m ? static_cast<mode_t>(*m) & 0777 : 0777;
        // Owner read and search stay: the folder's contents must be packable.
        return (bits & ~umaskBits) | S_IRUSR | S_IXUSR;
    }
    int32_t beginFolder(const MemberInfo &m, const PathComponents &path);
    void applyFolderAttributes();

    // --- The member list (extract_sink_member_list.cpp) --------------------
    std::vector<ListedMember> listed;
    std::unordered_map<std::string, size_t> listedFiles; // by name, for hard links
    std::optional<size_t> listedData; // the file member whose data arrives

    void listMember(const MemberInfo &m);
    void listData(const void *data, size_t size);
    void markLinksLeadingOutside();

    // --- The space guard (extract_sink_space.h) ----------------------------
    SpaceGuard space;
};

} // namespace qvo::extract
