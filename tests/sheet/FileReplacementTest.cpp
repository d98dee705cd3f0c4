#include "sheet/FileReplacement.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "tests/support/Failures.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileReplacement, TheNewFileTakesThePlaceTheDestinationNamesOnlyWhenCommitted) {
    const mode_t umask = ::umask(027);
    const struct {
        const char* What;
        std::vector<std::pair<const char*, const char*>> Links;  // name -> target
        const char* Existing;  // a private file there before, or none
        const char* Destination;
        const char* Written;  // where the bytes must land
    } cases[] = {
        {"a new file", {}, nullptr, "new.csv", "new.csv"},
        {"a private earlier file", {}, "old.csv", "old.csv", "old.csv"},
        {"a link to an earlier file", {{"link.csv", "old.csv"}}, "old.csv", "link.csv", "old.csv"},
        {"links in a chain, relative, ending nowhere yet",
         {{"a.csv", "sub/b.csv"}, {"sub/b.csv", "../c.csv"}},
         nullptr,
         "a.csv",
         "c.csv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TempDir dir;
        fs::create_directory(dir.Path() / "sub");
        for (const auto& [name, target] : c.Links) fs::create_symlink(target, dir.Path() / name);
        if (c.Existing)
            fs::permissions(dir.Write(c.Existing, "earlier"),
                            fs::perms::owner_read | fs::perms::owner_write);
        const auto before = FilesIn(dir.Path());
        {
            FileReplacement file((dir.Path() / c.Destination).string());
            ASSERT_EQ(::write(file.Descriptor(), "complete", 8), 8);
            EXPECT_EQ(FilesIn(dir.Path()), before) << "nothing shows before the commit";
            file.Commit();
        }
        EXPECT_EQ(test::ReadBytes(dir.Path() / c.Written), "complete");
        EXPECT_EQ(fs::status(dir.Path() / c.Written).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
            << "as a plain create under umask 027";
        for (const auto& link : c.Links) EXPECT_TRUE(fs::is_symlink(dir.Path() / link.first));
    }
    ::umask(umask);
}

// A pipe and a file another program holds are refused through every format's export
// (OutputFaults, ReliabilityTest).
TEST(FileReplacement, RefusesWhatTheXlsWriterRefuses) {
    TempDir dir;
    EXPECT_EQ(test::FailureOf([&] { FileReplacement file(dir.Path().string()); }),
              fail::PathFileAccessError);
    EXPECT_EQ(
        test::FailureOf([&] { FileReplacement file((dir.Path() / "no" / "x.csv").string()); }),
        fail::FileNotFound);
    EXPECT_EQ(test::FailureOf([] { FileReplacement file(""); }), fail::BadFileNameOrNumber);
}

}  // namespace
}  // namespace vx
