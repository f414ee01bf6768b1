// The create command every writing library shares: a writer's status
// reaches the program as the library's result code, and the archive
// appears only when the writer succeeded.
#include "archivers/command/create_command.h"
#include "archivers/include/qvo_archiver.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <set>

namespace fs = std::filesystem;
using namespace qvo;
using archivers::command::CreateRequest;
using archivers::command::createResultCode;
using archivers::command::runCreate;
using create::WriteStatus;

namespace {

// A writer that writes a little, notes what it was given and answers
// `answer`.
WriteStatus answer = WriteStatus::Ok;
std::vector<std::string> given;

create::WriteResult fakeWriter(const std::vector<create::WriterEntry> &entries, const create::WriterOptions &,
                               base::SeekableOutput &out)
{
    given.clear();
    for (const create::WriterEntry &e : entries)
        given.push_back(e.name);
    out.write("new", 3);
    return create::WriteResult::failure(answer, "as asked");
}

std::set<std::string> filesIn(const fs::path &dir)
{
    std::set<std::string> names;
    for (const auto &e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

} // namespace

TEST(CreateCommand, WriterStatusesBecomeTheDocumentedResults)
{
    const std::pair<WriteStatus, int32_t> table[] = {
        {WriteStatus::Ok, archivers::kOk},
        {WriteStatus::NoFiles, archivers::kErrNoFiles},
        {WriteStatus::TooLarge, archivers::kErrTooLarge},
        {WriteStatus::NameEncoding, archivers::kErrNameEncoding},
        {WriteStatus::NameClash, archivers::kErrNameClash},
        {WriteStatus::ReadError, archivers::kErrWrite},
        {WriteStatus::WriteError, archivers::kErrWrite},
        {WriteStatus::NotSupported, archivers::kErrNotSupported},
        {WriteStatus::Internal, archivers::kErrInternal},
    };
    for (const auto &[status, code] : table)
        EXPECT_EQ(createResultCode(status), code) << int(status);
}

TEST(CreateCommand, ArchiveAppearsOnlyWhenTheWriterSucceedsAndIsNotPackedIntoItself)
{
    test::TempDir tmp;
    test::writeFile(tmp / "a.txt", "a");
    test::writeFile(tmp / "out.zip", "old");
    CreateRequest request;
    request.archive = tmp / "out.zip";
    request.folder = tmp.path();
    for (WriteStatus failure : {WriteStatus::TooLarge, WriteStatus::ReadError}) {
        answer = failure;
        EXPECT_EQ(runCreate(request, fakeWriter), createResultCode(failure));
        EXPECT_EQ(test::readFile(tmp / "out.zip"), "old");
        EXPECT_EQ(filesIn(tmp.path()), (std::set<std::string>{"a.txt", "out.zip"}));
    }
    answer = WriteStatus::Ok;
    EXPECT_EQ(runCreate(request, fakeWriter), archivers::kOk);
    EXPECT_EQ(given, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(test::readFile(tmp / "out.zip"), "new");
    EXPECT_EQ(filesIn(tmp.path()), (std::set<std::string>{"a.txt", "out.zip"}));
}
