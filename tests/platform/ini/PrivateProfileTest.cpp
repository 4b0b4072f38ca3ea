// The settings-file calls on real files: defaults, buffer sizes, exact bytes after a write,
// and writers that run side by side or die half-way.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/ini/PrivateProfile.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using kestrova::test::readFile;
using kestrova::test::TempDir;
using kestrova::test::writeFile;

namespace {

std::wstring readValue(const fs::path& file, const std::wstring& key) {
    wchar_t buffer[256] = {};
    GetPrivateProfileStringW(L"CONFIG", key.c_str(), L"-", buffer, 256, file.wstring().c_str());
    return buffer;
}

bool writeValue(const fs::path& file, const std::wstring& key, const std::wstring& value) {
    return WritePrivateProfileStringW(L"CONFIG", key.c_str(), value.c_str(),
                                      file.wstring().c_str());
}

TEST(PrivateProfileRead, GivesTheDefaultOrTheValueCutToTheBufferSizeMinusOne) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    EXPECT_EQ(readValue(file, L"long"), L"-");
    EXPECT_EQ(readValue(tmp.path(), L"long"), L"-") << "a folder reads like a missing file";
    writeFile(file, "[CONFIG]\r\nlong=" + std::string(300, 'x') + "\r\nshort=abc\r\n");

    const struct {
        const wchar_t* key;
        std::size_t size;
        std::wstring read;
    } rows[] = {
        {L"long", 256, std::wstring(255, L'x')},
        {L"short", 256, L"abc"},
        {L"short", 1, L""},
        {L"missing", 4, L"def"},  // the default is cut the same way
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        std::vector<wchar_t> buffer(row.size + 1, L'#');
        EXPECT_EQ(GetPrivateProfileStringW(L"CONFIG", row.key, L"default", buffer.data(), row.size,
                                           file.wstring().c_str()),
                  row.read.size());
        EXPECT_EQ(buffer.data(), row.read);
        EXPECT_EQ(buffer[row.size], L'#') << "wrote past the buffer";
    }
}

TEST(PrivateProfileWrite, CreatesThenEditsTheFileKeepingEveryOtherByteAndItsModeOrTouchesNothing) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    ASSERT_TRUE(writeValue(file, L"last_adv_time", L"1"));
    EXPECT_EQ(readFile(file), "[CONFIG]\nlast_adv_time=1\n");

    writeFile(file, "; kept\r\n[config]\r\nLAST_ADV_TIME=1\r\n\r\n[Other]\r\na = b \r\n");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(writeValue(file, L"last_adv_time", L"1700000000"));
    ASSERT_TRUE(writeValue(file, L"\u540D", L"caf\u00E9 \u6F22"));
    EXPECT_EQ(readFile(file),
              "; kept\r\n[config]\r\nLAST_ADV_TIME=1700000000\r\n\xE5\x90\x8D=caf\xC3\xA9 "
              "\xE6\xBC\xA2\n\r\n[Other]\r\na = b \r\n");
    EXPECT_EQ(readValue(file, L"\u540D"), L"caf\u00E9 \u6F22");
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A refused write touches nothing.
    const std::string before = readFile(file);
    EXPECT_FALSE(writeValue(file, L"k", L"6\n[EVIL]\nx=1"));
    EXPECT_FALSE(WritePrivateProfileStringW(L"CONFIG", L"k", nullptr, file.wstring().c_str()));
    EXPECT_FALSE(writeValue(tmp / "no/folder/config.ini", L"k", L"v"));
    EXPECT_FALSE(writeValue(tmp.path(), L"k", L"v"));
    EXPECT_EQ(readFile(file), before);
    EXPECT_FALSE(fs::exists(tmp / "no"));
}

// Every writer process owns one key and writes it many times over; none may be lost.
TEST(PrivateProfileConcurrency, WritersInSeveralProcessesLoseNoKey) {
    constexpr int kWriters = 4, kWrites = 40;
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    writeFile(file, "; settings\n[OTHER]\nkeep=yes\n");

    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < kWrites; ++i) {
                ok = writeValue(file, L"w" + std::to_wstring(writer), std::to_wstring(i)) && ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_EQ(status, 0) << "a write failed";
    }
    EXPECT_EQ(readFile(file).rfind("; settings\n[OTHER]\nkeep=yes\n", 0), 0u);
    for (int writer = 0; writer < kWriters; ++writer) {
        EXPECT_EQ(readValue(file, L"w" + std::to_wstring(writer)), std::to_wstring(kWrites - 1));
    }
}

// Large enough that a write takes a while, so the kills land inside writes.
std::string fileWithCounter(long counter) {
    std::string bytes = "[FILLER]\n";
    for (int i = 0; i < 4000; ++i) {
        bytes += "key" + std::to_string(i) + "=filler value " + std::to_string(i) + "\n";
    }
    return bytes + "[CONFIG]\ncounter=" + std::to_string(counter) + "\n[END]\nlast=1\n";
}

TEST(PrivateProfileConcurrency, AWriterKilledMidWriteNeverLeavesABrokenFile) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    writeFile(file, fileWithCounter(0));
    std::mt19937 random(20240607);
    long last = 0;
    for (int round = 0; round < 25; ++round) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (long n = last + 1;; ++n) {
                writeValue(file, L"counter", std::to_wstring(n));
            }
        }
        usleep(random() % 15000);
        kill(pid, SIGKILL);
        ASSERT_EQ(waitpid(pid, nullptr, 0), pid);

        const long now = std::stol(readValue(file, L"counter"));
        EXPECT_GE(now, last);
        ASSERT_EQ(readFile(file), fileWithCounter(now)) << "round " << round;
        last = now;
    }
    ASSERT_TRUE(writeValue(file, L"counter", L"-1")) << "a dead writer's lock outlived it";
    EXPECT_EQ(readFile(file), fileWithCounter(-1));
}

}  // namespace
