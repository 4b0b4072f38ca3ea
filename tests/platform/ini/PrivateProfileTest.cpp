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
#include <thread>
#include <vector>

#include "platform/ini/PrivateProfile.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using kestrova::test::readFile;
using kestrova::test::TempDir;
using kestrova::test::writeFile;

namespace {

std::wstring readValue(const fs::path& file, const wchar_t* section, const wchar_t* key,
                       const wchar_t* fallback = L"<default>") {
    wchar_t buffer[256] = {};
    GetPrivateProfileStringW(section, key, fallback, buffer, 256, file.wstring().c_str());
    return buffer;
}

bool writeValue(const fs::path& file, const wchar_t* section, const wchar_t* key,
                const std::wstring& value) {
    return WritePrivateProfileStringW(section, key, value.c_str(), file.wstring().c_str());
}

TEST(PrivateProfileRead, MissingFileSectionOrKeyGivesTheDefault) {
    TempDir tmp;
    EXPECT_EQ(readValue(tmp / "missing.ini", L"CONFIG", L"last_adv_time", L"0"), L"0");
    writeFile(tmp / "config.ini", "[OTHER]\nlast_adv_time=5\n[CONFIG]\nx=1\n");
    EXPECT_EQ(readValue(tmp / "config.ini", L"CONFIG", L"last_adv_time", L"0"), L"0");
    EXPECT_EQ(readValue(tmp / "config.ini", L"NONE", L"x", L"0"), L"0");
    EXPECT_EQ(readValue(tmp / "config.ini", L"CONFIG", L"x", nullptr), L"1");
    EXPECT_EQ(readValue(tmp / "config.ini", L"CONFIG", L"y", nullptr), L"");
    // A folder where the file should be reads like a missing file.
    EXPECT_EQ(readValue(tmp.path(), L"CONFIG", L"x", L"0"), L"0");
}

TEST(PrivateProfileRead, ReturnsAtMostTheBufferSizeMinusOne) {
    TempDir tmp;
    const std::string longValue(300, 'x');
    writeFile(tmp / "config.ini", "[CONFIG]\r\nlong=" + longValue + "\r\nshort=abc\r\n");
    const std::wstring path = (tmp / "config.ini").wstring();

    const struct {
        const wchar_t* key;
        std::size_t size;
        std::size_t copied;
    } rows[] = {
        {L"long", 256, 255}, {L"short", 256, 3}, {L"short", 3, 2},
        {L"short", 1, 0},    {L"missing", 4, 3},  // the default, "default", is cut the same way
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "size " << row.size);
        std::vector<wchar_t> buffer(row.size + 1, L'#');
        const std::size_t n = GetPrivateProfileStringW(L"CONFIG", row.key, L"default",
                                                       buffer.data(), row.size, path.c_str());
        EXPECT_EQ(n, row.copied);
        EXPECT_EQ(buffer[n], L'\0');
        EXPECT_EQ(buffer[row.size], L'#') << "wrote past the buffer";
        EXPECT_EQ(std::wstring(buffer.data()).find_first_not_of(L"xabcdefault"),
                  std::wstring::npos);
    }
    wchar_t untouched = L'#';
    EXPECT_EQ(GetPrivateProfileStringW(L"CONFIG", L"short", L"d", &untouched, 0, path.c_str()), 0u);
    EXPECT_EQ(untouched, L'#');
}

TEST(PrivateProfileWrite, CreatesThenEditsTheFileKeepingEveryOtherByte) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    ASSERT_TRUE(writeValue(file, L"CONFIG", L"last_adv_time", L"1"));
    EXPECT_EQ(readFile(file), "[CONFIG]\nlast_adv_time=1\n");

    writeFile(file, "; kept\r\n[Other]\r\na = b \r\n\r\n[config]\r\nLAST_ADV_TIME=1\r\n");
    ASSERT_TRUE(writeValue(file, L"CONFIG", L"last_adv_time", L"1700000000"));
    ASSERT_TRUE(writeValue(file, L"Other", L"new", L"n"));
    EXPECT_EQ(readFile(file),
              "; kept\r\n[Other]\r\na = b \r\nnew=n\n\r\n[config]\r\nLAST_ADV_TIME=1700000000\r\n");
    EXPECT_EQ(readValue(file, L"CONFIG", L"last_adv_time"), L"1700000000");
}

TEST(PrivateProfileWrite, StoresUtf8AndReadsItBack) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    ASSERT_TRUE(writeValue(file, L"Gr\u00FC\u00DFe", L"\u540D", L"caf\u00E9 \u6F22\u5B57"));
    EXPECT_EQ(readFile(file),
              "[Gr\xC3\xBC\xC3\x9F"
              "e]\n\xE5\x90\x8D=caf\xC3\xA9 \xE6\xBC\xA2\xE5\xAD\x97\n");
    EXPECT_EQ(readValue(file, L"Gr\u00FC\u00DFe", L"\u540D"), L"caf\u00E9 \u6F22\u5B57");
}

TEST(PrivateProfileWrite, FailsWithoutTouchingTheFile) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    const std::string before = "[CONFIG]\nlast_adv_time=5\n";
    writeFile(file, before);

    EXPECT_FALSE(writeValue(file, L"CONFIG", L"last_adv_time", L"6\n[EVIL]\nx=1"));
    EXPECT_FALSE(WritePrivateProfileStringW(L"CONFIG", L"k", nullptr, file.wstring().c_str()));
    EXPECT_FALSE(writeValue(tmp / "no/such/folder/config.ini", L"CONFIG", L"k", L"v"));
    EXPECT_FALSE(writeValue(tmp.path(), L"CONFIG", L"k", L"v"));
    EXPECT_EQ(readFile(file), before);
    EXPECT_FALSE(fs::exists(tmp / "no"));
}

TEST(PrivateProfileWrite, KeepsThePermissionBits) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    writeFile(file, "[CONFIG]\nk=1\n");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    ASSERT_TRUE(writeValue(file, L"CONFIG", L"k", L"2"));
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

constexpr int kWriters = 4;
constexpr int kWritesEach = 40;
const std::string kOtherContent = "; settings\n[OTHER]\nkeep=yes\n";

bool writeManyTimes(const fs::path& file, int writer) {
    const std::wstring key = L"writer" + std::to_wstring(writer);
    for (int i = 0; i < kWritesEach; ++i) {
        if (!writeValue(file, L"CONFIG", key.c_str(), std::to_wstring(i))) {
            return false;
        }
    }
    return true;
}

void expectEveryWriterKept(const fs::path& file) {
    const std::string bytes = readFile(file);
    EXPECT_EQ(bytes.substr(0, kOtherContent.size()), kOtherContent);
    for (int writer = 0; writer < kWriters; ++writer) {
        const std::wstring key = L"writer" + std::to_wstring(writer);
        EXPECT_EQ(readValue(file, L"CONFIG", key.c_str()), std::to_wstring(kWritesEach - 1))
            << "lost the key of writer " << writer;
    }
}

TEST(PrivateProfileConcurrency, WritersInSeveralProcessesLoseNoKey) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    writeFile(file, kOtherContent);

    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            _exit(writeManyTimes(file, writer) ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
    }
    expectEveryWriterKept(file);
}

TEST(PrivateProfileConcurrency, WritersInSeveralThreadsLoseNoKey) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    writeFile(file, kOtherContent);

    std::vector<std::thread> threads;
    std::vector<char> succeeded(kWriters, 0);
    for (int writer = 0; writer < kWriters; ++writer) {
        threads.emplace_back([&, writer] { succeeded[writer] = writeManyTimes(file, writer); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(std::count(succeeded.begin(), succeeded.end(), 1), kWriters);
    expectEveryWriterKept(file);
}

// A file large enough that a write takes a while, so the kills land inside writes.
std::string fileWithCounter(long counter) {
    std::string bytes = "[FILLER]\n";
    for (int i = 0; i < 4000; ++i) {
        bytes +=
            "key" + std::to_string(i) + "=some filler value number " + std::to_string(i) + "\n";
    }
    bytes += "[CONFIG]\ncounter=" + std::to_string(counter) + "\n[END]\nlast=1\n";
    return bytes;
}

TEST(PrivateProfileConcurrency, AWriterKilledMidWriteNeverLeavesABrokenFile) {
    TempDir tmp;
    const fs::path file = tmp / "config.ini";
    writeFile(file, fileWithCounter(0));

    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> delayMicros(0, 15000);
    long lastSeen = 0;
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (long n = lastSeen + 1;; ++n) {
                writeValue(file, L"CONFIG", L"counter", std::to_wstring(n));
            }
        }
        usleep(static_cast<useconds_t>(delayMicros(random)));
        kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);

        const std::wstring counter = readValue(file, L"CONFIG", L"counter");
        ASSERT_NE(counter, L"<default>");
        const long value = std::stol(counter);
        EXPECT_GE(value, lastSeen);
        ASSERT_EQ(readFile(file), fileWithCounter(value));
        lastSeen = value;
    }
    // The dead writers' locks went with them.
    ASSERT_TRUE(writeValue(file, L"CONFIG", L"counter", L"-1"));
    EXPECT_EQ(readFile(file), fileWithCounter(-1));
}

}  // namespace
