// The file logger on real folders; cases that need another user or a thread limit run it in
// a probe process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "log/CLog.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kLogName = "RazOdezerivozi.log";

std::size_t threadCount() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

TEST(CLog, InitCreatesTheFolderChainAndAppendsEachLineOnce) {
    TempDir tmp;
    const fs::path dir = tmp / "a/b/c";
    for (const std::string run : {"first", "second"}) {
        SCOPED_TRACE(run + " run");
        CLog log;
        log.Init(dir.c_str());
        EXPECT_TRUE(fs::is_regular_file(dir / kLogName));
        for (const std::string& line : {run, std::string(), run + "\nmore\r\n"}) {
            log.Append(line);
        }
        EXPECT_TRUE(log.Stop());
        EXPECT_FALSE(log.Stop()) << "a stopped logger has no writer left to stop";
    }
    EXPECT_EQ(readFile(dir / kLogName), "first\n\nfirst more\nsecond\n\nsecond more\n");
}

TEST(CLog, StopWritesEveryQueuedLine) {
    TempDir tmp;
    CLog log;
    std::string expected;
    // Queued before there is a writer, then more than it can write before Stop comes.
    for (int i = 0; i < 20000; ++i) {
        if (i == 1000) {
            log.Init(tmp.path().c_str());
        }
        const std::string line = "line " + std::to_string(i);
        log.Append(line);
        expected += line + "\n";
    }
    EXPECT_TRUE(log.Stop());
    EXPECT_EQ(readFile(tmp / kLogName), expected);
}

TEST(CLog, StopOnAnIdleLoggerReturnsAtOnce) {
    TempDir tmp;
    CLog log;
    // A writer polling every 100 ms would hold the five Stops for 400 ms or more in all.
    auto total = 0ms;
    for (int round = 0; round < 5; ++round) {
        log.Init(tmp.path().c_str());
        std::this_thread::sleep_for(20ms);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(log.Stop());
        total += std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    }
    EXPECT_LT(total, 250ms);
}

TEST(CLog, DebugOutputGoesToStandardErrorAndNeverToTheFile) {
    TempDir tmp;
    CLog log;
    log.SetDebugOutput(1);
    log.Init(tmp.path().c_str());
    testing::internal::CaptureStderr();
    log.Append("to the debugger");
    log.Append("");
    log.Stop();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to the debugger\n\n");
    EXPECT_EQ(readFile(tmp / kLogName), "");
}

TEST(CLog, ASecondInitMovesToTheNewFolderWithOneWriter) {
    TempDir tmp;
    const std::size_t before = threadCount();
    CLog log;
    log.Init((tmp / "first").c_str());
    log.Append("to the first");
    log.Init((tmp / "second").c_str());
    EXPECT_EQ(threadCount(), before + 1);
    log.Append("to the second");
    log.Stop();
    EXPECT_EQ(readFile(tmp / "first" / kLogName), "to the first\n");
    EXPECT_EQ(readFile(tmp / "second" / kLogName), "to the second\n");
}

TEST(CLogAsAnotherUser, RefusedFoldersAreReportedAndNoThreadLeavesLinesQueued) {
    const bool root = ::geteuid() == 0;
    const struct {
        const char* folder;
        fs::perms mode;
        bool owned;  // by the probe's user
        const char* options;
        std::string output;  // after the path of the log file, or whole when it starts with '!'
    } rows[] = {
        {"readonly", fs::perms(0555), true, "", " error=13\nstopped=1"},
        {"shared", fs::perms(0777), false, "", " error=1\nstopped=1"},
        {"own", fs::perms(0755), true, "--no-threads ", "!create thread error! \r\n\n\nstopped=0"},
    };
    TempDir tmp;
    const fs::path probe = tmp / "log_probe";
    fs::copy_file(KESTROVA_LOG_PROBE, probe);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.folder);
        if (!row.owned && !root) {
            continue;  // only root can run the probe as a user who does not own the folder
        }
        const fs::path dir = tmp / row.folder;
        fs::create_directory(dir);
        fs::permissions(dir, row.mode);
        if (root && row.owned) {
            ASSERT_EQ(::chown(dir.c_str(), kOtherUser, kOtherUser), 0);
        }
        bool ran = false;
        const std::string output = runCommand(
            asOtherUser() + probe.string() + " " + row.options + dir.string() + " line", &ran);
        EXPECT_TRUE(ran) << "the probe failed";
        if (row.output[0] == '!') {
            EXPECT_EQ(output, row.output.substr(1));
            EXPECT_EQ(readFile(dir / kLogName), "");
        } else {
            EXPECT_EQ(output, "open file=" + (dir / kLogName).string() + row.output);
            EXPECT_FALSE(fs::exists(dir / kLogName));
        }
    }
}

}  // namespace
}  // namespace kestrova::test
