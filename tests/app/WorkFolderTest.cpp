// Where the work folder goes and how it is made: the temporary folder is $TMPDIR only when
// that is an absolute path, and the folder is created private, never through a name that
// is already there.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "app/WorkFolder.h"
#include "tests/support/TempDir.h"
#include "util/TextConvert.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;

// Sets or unsets TMPDIR for a scope.
class ScopedTmpdir {
public:
    explicit ScopedTmpdir(const std::optional<std::string>& value) {
        if (const char* old = std::getenv("TMPDIR")) {
            m_old = old;
        }
        set(value);
    }
    ~ScopedTmpdir() { set(m_old); }

private:
    static void set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv("TMPDIR", value->c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
    }
    std::optional<std::string> m_old;
};

TEST(WorkFolder, TemporaryFolderIsAnAbsoluteTmpdirOrTmpWithATrailingSlash) {
    const struct {
        std::optional<std::string> tmpdir;
        std::wstring folder;
    } cases[] = {
        {std::nullopt, L"/tmp/"},    {"", L"/tmp/"},
        {"relative/tmp", L"/tmp/"},  {"/var/tmp", L"/var/tmp/"},
        {"/var/tmp/", L"/var/tmp/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tmpdir.value_or("(unset)"));
        ScopedTmpdir tmpdir(c.tmpdir);
        EXPECT_EQ(temporaryFolder(), c.folder);
    }
}

TEST(WorkFolder, CreatedOwnerOnlyAndAnExistingNameIsLeftAsItIs) {
    TempDir temp;
    ScopedTmpdir tmpdir(temp.path().string());
    const fs::path work = temp / "Kestrova";

    EXPECT_EQ(wideToAnsi(prepareWorkFolder()), work.string());
    struct stat info {};
    ASSERT_EQ(::lstat(work.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A folder someone else prepared is not widened or narrowed, and a link planted in
    // its place is not followed: the log's open refuses both if they are not ours.
    fs::permissions(work, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    prepareWorkFolder();
    EXPECT_EQ(fs::status(work).permissions() & fs::perms::all,
              fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    fs::remove(work);
    fs::create_directory_symlink(temp / "elsewhere", work);
    prepareWorkFolder();
    EXPECT_TRUE(fs::is_symlink(work));
    EXPECT_FALSE(fs::exists(temp / "elsewhere"));
}

}  // namespace
}  // namespace kestrova::test
