#include "extract/file_hand_off.h"

#include <sys/stat.h>
#include <system_error>

namespace qvo::extract {
namespace {

// Files are handed to a writer thread once an extraction has shown this
// many members: archives of a few files never start one.
constexpr uint64_t kWriterAfterMembers = 8;

} // namespace

FileHandOff::FileHandOff(bool privateDestination, mode_t umaskBits)
    : privateDestination_(privateDestination), umaskBits_(umaskBits)
{
}

bool FileHandOff::takes(const MemberInfo &member, uint64_t memberNumber)
{
    if (!privateDestination_ || memberNumber <= kWriterAfterMembers || !member.size
        || *member.size > FileWriterThread::kMaxFileSize || (umaskBits_ & S_IRUSR) || unavailable_)
        return false;
    if (!writer_) {
        try {
            if (FileWriterThread::usable())
                writer_ = std::make_unique<FileWriterThread>();
        } catch (const std::system_error &) {
        }
        unavailable_ = !writer_;
    }
    return writer_ != nullptr;
}

bool FileHandOff::submit(FileWriterThread::File file)
{
    return writer_->submit(std::move(file));
}

void FileHandOff::waitForProgress()
{
    writer_->waitForProgress();
}

std::vector<FileWriterThread::Failure> FileHandOff::flush()
{
    if (!writer_)
        return {};
    writer_->flush();
    return writer_->takeFailures();
}

bool FileHandOff::outOfSpace() const
{
    return writer_ && writer_->outOfSpace();
}

uint64_t FileHandOff::filesWritten() const
{
    return writer_ ? writer_->filesWritten() : 0;
}

} // namespace qvo::extract
