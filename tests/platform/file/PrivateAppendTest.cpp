// The private append open: what it creates, what it keeps, and every planted name it refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>

#include "platform/file/PrivateAppend.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

int openAppend(const fs::path& path, FilePtr& file) {
    FILE* raw = nullptr;
    const int error = openPrivateAppend(&raw, path.string());
    file.reset(raw);
    return error;
}

TEST(PrivateAppend, CreatesAPrivateFileAndAppendsToAnExistingOne) {
    TempDir tmp;
    const fs::path log = tmp / "app.log";
    const mode_t oldMask = ::umask(0);
    FilePtr file;
    const int error = openAppend(log, file);
    ::umask(oldMask);
    ASSERT_EQ(error, 0);
    struct stat st {};
    ASSERT_EQ(::stat(log.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    writeFile(log, "old\r\n");
    ASSERT_EQ(openAppend(log, file), 0);
    std::fputs("new\n", file.get());
    file.reset();
    EXPECT_EQ(readFile(log), "old\r\nnew\n");
}

// Names another user could plant in a shared folder, each refused with its own code and
// without touching what the name points at.
TEST(PrivateAppend, RefusesPlantedNames) {
    struct Case {
        const char* what;
        void (*plant)(const TempDir& tmp);
        const char* path;
        int error;
        bool needsRoot = false;
    };
    const Case cases[] = {
        {"file is a link",
         [](const TempDir& tmp) { fs::create_symlink(tmp / "target", tmp / "app.log"); }, "app.log",
         ELOOP},
        {"folder is a link",
         [](const TempDir& tmp) {
             fs::create_directory(tmp / "real");
             fs::create_directory_symlink(tmp / "real", tmp / "dir");
         },
         "dir/app.log", ENOTDIR},
        {"folder is a file", [](const TempDir& tmp) { writeFile(tmp / "dir", ""); }, "dir/app.log",
         ENOTDIR},
        {"file is a fifo",
         [](const TempDir& tmp) { ASSERT_EQ(::mkfifo((tmp / "app.log").c_str(), 0600), 0); },
         "app.log", EINVAL},
        {"file has a second name",
         [](const TempDir& tmp) {
             writeFile(tmp / "other", "");
             fs::create_hard_link(tmp / "other", tmp / "app.log");
         },
         "app.log", EMLINK},
        {"file belongs to another user",
         [](const TempDir& tmp) {
             writeFile(tmp / "app.log", "");
             ASSERT_EQ(::chown((tmp / "app.log").c_str(), kOtherUser, kOtherUser), 0);
         },
         "app.log", EPERM, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && ::geteuid() != 0) {
            continue;
        }
        TempDir tmp;
        c.plant(tmp);
        FilePtr file;
        EXPECT_EQ(openAppend(tmp / c.path, file), c.error);
        EXPECT_EQ(file, nullptr);
        EXPECT_FALSE(fs::exists(tmp / "target"));
        EXPECT_FALSE(fs::exists(tmp / "real" / "app.log"));
    }
}

}  // namespace
}  // namespace kestrova::test
