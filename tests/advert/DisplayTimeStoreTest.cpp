// The display time in a real settings file, including one its user may not write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>

#include "advert/DisplayTimeStore.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using namespace kestrova::test;

namespace {

// Root writes wherever it likes, so the unwritable-folder case runs this program again as
// another user; started with this variable set, it only writes the display time to the
// file named there.
constexpr const char* kWriterEnv = "KESTROVA_TEST_WRITE_LAST_ADV_TIME";

[[maybe_unused]] const bool kRanAsWriter = [] {
    if (const char* path = std::getenv(kWriterEnv)) {
        writeLastAdvTime(fs::path(path).wstring());
        _exit(geteuid() == 0 ? 3 : 0);
    }
    return false;
}();

long long storedTime(const fs::path& file) {
    return std::stoll(readLastAdvTime(file.wstring()));
}

TEST(DisplayTimeStore, FirstRunReadsZeroAndEachWriteStoresTheCurrentTime) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    EXPECT_EQ(readLastAdvTime(file.wstring()), L"0");

    const long long before = std::time(nullptr);
    writeLastAdvTime(file.wstring());
    const long long first = storedTime(file);
    EXPECT_GE(first, before);
    EXPECT_LE(first, std::time(nullptr));
    EXPECT_EQ(readFile(file), "[CONFIG]\nlast_adv_time=" + std::to_string(first) + "\n");

    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    writeLastAdvTime(file.wstring());
    EXPECT_GE(storedTime(file) - first, 2);
    EXPECT_LE(storedTime(file) - first, 4);
}

TEST(DisplayTimeStore, TheStoredTextIsReturnedUncheckedUpTo255Characters) {
    const std::pair<std::string, std::wstring> rows[] = {
        {"last_adv_time=yesterday", L"yesterday"},
        {"last_adv_time=", L""},
        {"last_adv_time=" + std::string(300, '7'), std::wstring(255, L'7')},
        {"other=1", L"0"},
    };
    for (const auto& [line, read] : rows) {
        SCOPED_TRACE(line);
        TempDir tmp;
        writeFile(tmp / "config.ini", "[CONFIG]\n" + line + "\n");
        EXPECT_EQ(readLastAdvTime((tmp / "config.ini").wstring()), read);
    }
}

TEST(DisplayTimeStore, AnUnwritableFolderKeepsTheOldValueSilently) {
    const struct {
        const char* label;
        bool fileExists;
        bool writable;
    } rows[] = {
        {"existing file", true, false},
        {"no file", false, false},
        {"writable, proving the writer runs", true, true},
    };
    const std::string self = fs::canonical("/proc/self/exe").string();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir tmp;
        const fs::path file = tmp / "config.ini";
        if (row.fileExists) {
            writeFile(file, "[CONFIG]\nlast_adv_time=12345\n");
            ASSERT_EQ(chmod(file.c_str(), row.writable ? 0666 : 0644), 0);
        }
        // Traversable for the other user; root's 0755 folder is read-only to it.
        ASSERT_EQ(chmod(tmp.path().c_str(), row.writable ? 0777 : 0555), 0);
        bool ran = false;
        runCommand(asOtherUser() + "env " + kWriterEnv + "=" + file.string() + " " + self, &ran);
        EXPECT_TRUE(ran) << "the unprivileged writer did not run as expected";
        ASSERT_EQ(chmod(tmp.path().c_str(), 0700), 0);

        EXPECT_EQ(fs::exists(file), row.fileExists);
        if (row.fileExists) {
            EXPECT_EQ(readLastAdvTime(file.wstring()) == L"12345", !row.writable);
        }
        EXPECT_FALSE(fs::exists(tmp / "config.ini.tmp"));
    }
}

}  // namespace
