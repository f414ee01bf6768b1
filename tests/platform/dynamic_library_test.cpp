#include "platform/dynamic_library.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>

using qvo::platform::DynamicLibrary;

namespace {

// The C library's own file, wherever this system keeps it.
std::filesystem::path cLibraryFile()
{
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void *>(&::strlen), &info) || !info.dli_fname)
        return {};
    return info.dli_fname;
}

} // namespace

TEST(DynamicLibrary, MissingFileIsNotFound)
{
    qvo::test::TempDir dir;
    const auto lib = DynamicLibrary::load(dir / "absent.so");
    EXPECT_EQ(lib.status(), DynamicLibrary::Status::NotFound);
    EXPECT_FALSE(lib.loaded());
    EXPECT_NE(lib.error().find("absent.so"), std::string::npos);
    EXPECT_EQ(lib.symbol("anything"), nullptr);

    // A path running through a plain file is missing too, not broken.
    qvo::test::writeFile(dir / "file", "x");
    EXPECT_EQ(DynamicLibrary::load(dir / "file" / "lib.so").status(),
              DynamicLibrary::Status::NotFound);
    // So is a link that points nowhere.
    std::filesystem::create_symlink(dir / "nowhere.so", dir / "dangling.so");
    EXPECT_EQ(DynamicLibrary::load(dir / "dangling.so").status(), DynamicLibrary::Status::NotFound);

    EXPECT_EQ(DynamicLibrary().status(), DynamicLibrary::Status::NotFound);
    EXPECT_EQ(DynamicLibrary().symbol("strlen"), nullptr);
}

TEST(DynamicLibrary, PresentButBrokenIsUnusable)
{
    qvo::test::TempDir dir;
    qvo::test::writeFile(dir / "garbage.so", "this is not an ELF file\n");
    const auto garbage = DynamicLibrary::load(dir / "garbage.so");
    EXPECT_EQ(garbage.status(), DynamicLibrary::Status::Unusable);
    EXPECT_FALSE(garbage.error().empty());
    EXPECT_EQ(garbage.symbol("strlen"), nullptr);

    std::filesystem::create_directory(dir / "folder.so");
    EXPECT_EQ(DynamicLibrary::load(dir / "folder.so").status(), DynamicLibrary::Status::Unusable);
}

TEST(DynamicLibrary, FindsExportedFunctions)
{
    const auto file = cLibraryFile();
    ASSERT_FALSE(file.empty());
    const auto lib = DynamicLibrary::load(file);
    ASSERT_TRUE(lib.loaded()) << lib.error();
    EXPECT_TRUE(lib.error().empty());
    using StrlenFn = size_t (*)(const char *);
    auto fn = reinterpret_cast<StrlenFn>(lib.symbol("strlen"));
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn("four"), 4u);
    EXPECT_EQ(lib.symbol("qvo_no_such_function"), nullptr);
    EXPECT_EQ(lib.symbol(nullptr), nullptr);
}

// A bare file name must mean the file in the current directory, never a
// library of that name found on the system search path.
TEST(DynamicLibrary, RelativePathIsTakenFromTheCurrentDirectory)
{
    qvo::test::TempDir dir;
    qvo::test::writeFile(dir / "libc.so.6", "not a library\n");
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const auto lib = DynamicLibrary::load("libc.so.6");
    std::filesystem::current_path(saved);
    EXPECT_EQ(lib.status(), DynamicLibrary::Status::Unusable);
    EXPECT_NE(lib.error().find(dir.path().string()), std::string::npos) << lib.error();
}

TEST(DynamicLibrary, ProgramFolderHoldsThisExecutable)
{
    const auto folder = DynamicLibrary::programFolder();
    ASSERT_TRUE(folder.is_absolute());
    EXPECT_TRUE(std::filesystem::exists(folder / "test_platform"));
}
