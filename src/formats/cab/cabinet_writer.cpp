#include "formats/cab/cabinet_writer.h"

#include "base/endian.h"
#include "formats/cab/cab_checksum.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qvo::formats::cab {
namespace {

using create::WriteResult;
using Status = create::WriteStatus;

// Frames compressed per call: enough to keep every core busy, little memory.
constexpr size_t kBatchFrames = 64;
// Output collected before it is handed to the output.
constexpr size_t kOutputChunk = 1 << 20;
// The largest CFDATA payload readers accept (libmspack's input buffer).
constexpr size_t kMaxPayload = codecs::kFrameSize + 6144;

struct FolderPlan {
    size_t firstFile = 0;
    size_t endFile = 0;
    uint64_t bytes = 0;
    uint32_t frames = 0;
    uint64_t dataOffset = 0; // of its first CFDATA block
};

using base::appendLe16;
using base::appendLe32;

WriteResult fail(Status status, std::string message)
{
    return WriteResult::failure(status, std::move(message));
}

// Reads the files of one folder in sequence as one stream.
class FolderInput {
public:
    FolderInput(const std::vector<CabFileEntry> &files, const FolderPlan &plan)
        : files_(files), next_(plan.firstFile), end_(plan.endFile) {}
    ~FolderInput() { closeFile(); }
    FolderInput(const FolderInput &) = delete;
    FolderInput &operator=(const FolderInput &) = delete;

    // Fills `buf` up to `want` bytes; fewer only at the folder's end.
    bool read(std::vector<uint8_t> &buf, size_t want, std::string &error)
    {
        buf.resize(want);
        size_t have = 0;
        while (have < want) {
            if (remaining_ == 0) {
                closeFile();
                if (next_ == end_)
                    break;
                if (!openFile(files_[next_++], error))
                    return false;
                continue;
            }
            size_t n = static_cast<size_t>(std::min<uint64_t>(remaining_, want - have));
            ssize_t got = ::read(fd_, buf.data() + have, n);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                error = got < 0 ? "cannot read " + path_ + ": " + std::strerror(errno)
                                : path_ + " became shorter while it was being read";
                return false;
            }
            have += static_cast<size_t>(got);
            remaining_ -= static_cast<uint64_t>(got);
        }
        buf.resize(have);
        return true;
    }

private:
    bool openFile(const CabFileEntry &f, std::string &error)
    {
        path_ = f.source.string();
        remaining_ = f.size;
        if (f.size == 0)
            return true;
        fd_ = ::open(f.source.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            error = "cannot open " + path_ + ": " + std::strerror(errno);
            return false;
        }
        return true;
    }
    void closeFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    const std::vector<CabFileEntry> &files_;
    size_t next_;
    size_t end_;
    int fd_ = -1;
    uint64_t remaining_ = 0;
    std::string path_;
};

class DataWriter {
public:
    DataWriter(base::SeekableOutput &out, uint64_t start, uint64_t limit)
        : out_(out), offset_(start), limit_(limit) {}

    uint64_t offset() const { return offset_; }

    // Appends one CFDATA block; Status::Ok or why not.
    Status addBlock(std::span<const uint8_t> payload, size_t uncompressed)
    {
        if (payload.size() > kMaxPayload)
            return Status::WriteError;
        offset_ += kDataHeaderSize + payload.size();
        if (offset_ > limit_)
            return Status::TooLarge;
        uint16_t cbUncomp = static_cast<uint16_t>(uncompressed);
        appendLe32(buf_, dataBlockChecksum(payload, cbUncomp));
        appendLe16(buf_, static_cast<uint16_t>(payload.size()));
        appendLe16(buf_, cbUncomp);
        buf_.insert(buf_.end(), payload.begin(), payload.end());
        if (buf_.size() >= kOutputChunk && !flush())
            return Status::WriteError;
        return Status::Ok;
    }

    bool flush()
    {
        bool ok = buf_.empty() || out_.write(buf_.data(), buf_.size());
        buf_.clear();
        return ok;
    }

private:
    base::SeekableOutput &out_;
    uint64_t offset_;
    uint64_t limit_;
    std::vector<uint8_t> buf_;
};

std::vector<uint8_t> buildHeader(const std::vector<CabFileEntry> &files,
                                 const std::vector<FolderPlan> &folders, uint16_t typeCompress,
                                 uint64_t cabinetSize, uint64_t headerSize)
{
    std::vector<uint8_t> h;
    h.reserve(headerSize);
    appendLe32(h, 0x4643534D); // "MSCF"
    appendLe32(h, 0);
    appendLe32(h, static_cast<uint32_t>(cabinetSize));
    appendLe32(h, 0);
    appendLe32(h, static_cast<uint32_t>(kHeaderSize + kFolderRecordSize * folders.size()));
    appendLe32(h, 0);
    h.push_back(kVersionMinor);
    h.push_back(kVersionMajor);
    appendLe16(h, static_cast<uint16_t>(folders.size()));
    appendLe16(h, static_cast<uint16_t>(files.size()));
    appendLe16(h, 0); // flags: no neighbours, no reserve
    appendLe16(h, 0); // setID
    appendLe16(h, 0); // iCabinet
    for (const auto &f : folders) {
        appendLe32(h, static_cast<uint32_t>(f.dataOffset));
        appendLe16(h, static_cast<uint16_t>(f.frames));
        appendLe16(h, typeCompress);
    }
    for (size_t fi = 0; fi < folders.size(); ++fi) {
        uint64_t offset = 0;
        for (size_t i = folders[fi].firstFile; i < folders[fi].endFile; ++i) {
            const auto &e = files[i];
            appendLe32(h, static_cast<uint32_t>(e.size));
            appendLe32(h, static_cast<uint32_t>(offset));
            appendLe16(h, static_cast<uint16_t>(fi));
            appendLe16(h, e.date);
            appendLe16(h, e.time);
            appendLe16(h, e.attribs);
            h.insert(h.end(), e.name.begin(), e.name.end());
            h.push_back(0);
            offset += e.size;
        }
    }
    return h;
}

} // namespace

uint16_t folderType(const codecs::FrameCompressor &compressor)
{
    switch (compressor.method()) {
    case codecs::FrameMethod::Stored: return kTypeNone;
    case codecs::FrameMethod::Mszip: return kTypeMszip;
    case codecs::FrameMethod::Lzx: return static_cast<uint16_t>(kTypeLzx | compressor.windowBits() << 8);
    }
    return kTypeNone;
}

WriteResult writeCabinet(const std::vector<CabFileEntry> &files,
                            const CompressorFactory &newCompressor, base::SeekableOutput &out,
                            const CabLimits &limits)
{
    if (files.empty())
        return fail(Status::NoFiles, "no files to pack");
    if (files.size() > limits.maxFiles)
        return fail(Status::TooLarge, "a cabinet holds at most " +
                                          std::to_string(limits.maxFiles) + " files");

    const uint64_t folderCapacity = uint64_t(limits.maxFramesPerFolder) * codecs::kFrameSize;
    std::vector<FolderPlan> folders;
    uint64_t headerSize = kHeaderSize;
    for (size_t i = 0; i < files.size(); ++i) {
        const auto &f = files[i];
        if (f.name.empty() || f.name.size() > kMaxNameBytes ||
            f.name.find('\0') != std::string::npos)
            return fail(Status::TooLarge, "name too long for a cabinet: " + f.name);
        if (f.size > folderCapacity)
            return fail(Status::TooLarge, "file too large for a cabinet: " + f.name);
        if (folders.empty() || folders.back().bytes + f.size > folderCapacity) {
            FolderPlan p;
            p.firstFile = p.endFile = i;
            folders.push_back(p);
        }
        folders.back().endFile = i + 1;
        folders.back().bytes += f.size;
        headerSize += kFileRecordFixedSize + f.name.size() + 1;
    }
    if (folders.size() > limits.maxFolders)
        return fail(Status::TooLarge, "too many folders for one cabinet");
    headerSize += kFolderRecordSize * folders.size();
    for (auto &p : folders)
        p.frames = static_cast<uint32_t>((p.bytes + codecs::kFrameSize - 1) / codecs::kFrameSize);

    std::unique_ptr<codecs::FrameCompressor> compressor = newCompressor();
    const uint16_t typeCompress = folderType(*compressor);
    if (typeCompress == kTypeNone) {
        // Stored data has a known size: refuse before reading anything.
        uint64_t total = headerSize;
        for (const auto &p : folders)
            total += p.bytes + uint64_t(p.frames) * kDataHeaderSize;
        if (total > limits.maxCabinetSize)
            return fail(Status::TooLarge, "the files do not fit in one cabinet");
    }
    if (headerSize > limits.maxCabinetSize)
        return fail(Status::TooLarge, "the file list does not fit in one cabinet");

    std::vector<uint8_t> placeholder(headerSize, 0);
    if (!out.write(placeholder.data(), placeholder.size()))
        return fail(Status::WriteError, "cannot write the cabinet");

    DataWriter data(out, headerSize, limits.maxCabinetSize);
    std::vector<uint8_t> input;
    std::vector<std::vector<uint8_t>> payloads;
    for (size_t fi = 0; fi < folders.size(); ++fi) {
        FolderPlan &plan = folders[fi];
        plan.dataOffset = data.offset();
        if (fi > 0)
            compressor = newCompressor();
        FolderInput in(files, plan);
        uint64_t left = plan.bytes;
        while (left > 0) {
            size_t want = static_cast<size_t>(std::min<uint64_t>(left, kBatchFrames * codecs::kFrameSize));
            std::string error;
            if (!in.read(input, want, error))
                return fail(Status::ReadError, error);
            if (input.size() != want)
                return fail(Status::ReadError, "a file became shorter while it was being read");
            left -= want;
            payloads.clear();
            compressor->compressFrames(input, left == 0, payloads);
            for (size_t i = 0; i < payloads.size(); ++i) {
                size_t frame = std::min(codecs::kFrameSize, input.size() - i * codecs::kFrameSize);
                Status s = data.addBlock(payloads[i], frame);
                if (s == Status::TooLarge)
                    return fail(s, "the compressed files do not fit in one cabinet");
                if (s != Status::Ok)
                    return fail(s, "cannot write the cabinet");
            }
        }
    }
    if (!data.flush())
        return fail(Status::WriteError, "cannot write the cabinet");

    std::vector<uint8_t> header = buildHeader(files, folders, typeCompress, data.offset(), headerSize);
    if (!out.writeAt(0, header.data(), header.size()))
        return fail(Status::WriteError, "cannot write the cabinet");
    return {};
}

} // namespace qvo::formats::cab
