#include "sheet/FileReplacement.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "common/Failure.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempDir;

std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

void WriteAll(int fd, std::string_view bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

mode_t ModeOf(const fs::path& file) {
    struct stat entry {};
    ::stat(file.c_str(), &entry);
    return entry.st_mode & 07777;
}

class Umask {
public:
    explicit Umask(mode_t mask) : m_saved(::umask(mask)) {}
    ~Umask() { ::umask(m_saved); }

private:
    mode_t m_saved;
};

TEST(FileReplacement, TheNewFileTakesThePlaceTheDestinationNamesOnlyWhenCommitted) {
    const Umask mask(027);
    TempDir dir;
    fs::create_directory(dir.Path() / "sub");
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
        for (const auto& [name, target] : c.Links) fs::create_symlink(target, dir.Path() / name);
        if (c.Existing) {
            dir.Write(c.Existing, "earlier");
            fs::permissions(dir.Path() / c.Existing,
                            fs::perms::owner_read | fs::perms::owner_write);
        }
        const auto before = FilesIn(dir.Path());
        {
            FileReplacement file((dir.Path() / c.Destination).string());
            WriteAll(file.Descriptor(), "complete");
            EXPECT_EQ(FilesIn(dir.Path()), before) << "nothing shows before the commit";
            file.Commit();
        }
        EXPECT_EQ(ReadBytes(dir.Path() / c.Written), "complete");
        EXPECT_EQ(ModeOf(dir.Path() / c.Written), 0640) << "as a plain create under umask 027";
        for (const auto& link : c.Links) EXPECT_TRUE(fs::is_symlink(dir.Path() / link.first));
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            if (entry.path().filename() != "sub") fs::remove(entry.path());
        for (const auto& entry : fs::directory_iterator(dir.Path() / "sub"))
            fs::remove(entry.path());
    }
}

TEST(FileReplacement, RefusesWhatTheXlsWriterRefuses) {
    TempDir dir;
    fs::create_directory(dir.Path() / "folder");
    const auto fifo = dir.Path() / "pipe.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    const auto held = dir.Write("held.csv", "open elsewhere");
    const int fd = ::open(held.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    const struct {
        fs::path Destination;
        int Failure;
    } cases[] = {
        {dir.Path() / "folder", fail::PathFileAccessError},
        {fifo, fail::PathFileAccessError},
        {held, fail::PermissionDenied},
        {dir.Path() / "missing" / "x.csv", fail::FileNotFound},
        {"", fail::BadFileNameOrNumber},
    };
    for (const auto& c : cases) {
        try {
            FileReplacement file(c.Destination.string());
            ADD_FAILURE() << c.Destination << " was accepted";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Number(), c.Failure) << c.Destination;
        }
    }
    ::close(fd);
    EXPECT_EQ(ReadBytes(held), "open elsewhere");
}

}  // namespace
}  // namespace vx
