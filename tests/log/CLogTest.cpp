// The file logger: lines in order and whole, nothing lost at Stop, no waiting when idle, the
// debug-output switch, a second Init, and the folders and files it must refuse. Cases that
// need another user or a thread limit run the logger in a probe process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

#include "log/CLog.h"
#include "tests/support/TempDir.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr uid_t kOtherUser = 65534;
const std::string kLogName = "RazOdezerivozi.log";

std::size_t threadCount() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

// The command's standard output, or nothing when it fails. Arguments are words and paths
// made by the test, free of characters the shell would interpret.
std::optional<std::string> runCommand(const std::string& command) {
    std::unique_ptr<FILE, decltype(&::pclose)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) {
        return std::nullopt;
    }
    std::string output;
    char chunk[256];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) {
        output.append(chunk, got);
    }
    const int status = ::pclose(pipe.release());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::optional(output) : std::nullopt;
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
    // A writer that polls every 100 ms would hold each Stop for 80 ms or more here, at least
    // 400 ms in all; the bound is loose enough for a busy machine.
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

// Runs the probe as user and group 65534 (or as itself when not root) on folders of a
// temporary tree that user can reach.
class CLogAsAnotherUser : public testing::Test {
protected:
    CLogAsAnotherUser() { fs::permissions(m_tmp.path(), fs::perms(0755)); }

    std::string runProbe(const std::string& arguments) {
        const fs::path probe = m_tmp / "log_probe";
        fs::copy_file(KESTROVA_LOG_PROBE, probe);
        // The leak checker needs a thread of its own, and its suppression file need not be
        // readable by the other user.
        std::string command = "env -u LSAN_OPTIONS ASAN_OPTIONS=detect_leaks=0 ";
        if (::geteuid() == 0) {
            command += "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        }
        const auto output = runCommand(command + probe.string() + " " + arguments);
        EXPECT_TRUE(output.has_value()) << "the probe failed";
        return output.value_or("");
    }

    TempDir m_tmp;
};

TEST_F(CLogAsAnotherUser, AnUnwritableFolderIsReportedAndTheWriterStillRuns) {
    const fs::path dir = m_tmp / "readonly";
    fs::create_directory(dir);
    // The probe's user owns the folder but may not write it.
    fs::permissions(dir, fs::perms(0555));
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(dir.c_str(), kOtherUser, kOtherUser), 0);
    }
    EXPECT_EQ(runProbe(dir.string() + " line"),
              "open file=" + (dir / kLogName).string() + " error=13\nstopped=1");
    EXPECT_FALSE(fs::exists(dir / kLogName));
}

TEST_F(CLogAsAnotherUser, AFolderOfAnotherUserIsNotUsed) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run the probe as a user who does not own the folder";
    }
    const fs::path dir = m_tmp / "shared";
    fs::create_directory(dir);
    fs::permissions(dir, fs::perms(0777));
    EXPECT_EQ(runProbe(dir.string() + " line"),
              "open file=" + (dir / kLogName).string() + " error=1\nstopped=1");
    EXPECT_FALSE(fs::exists(dir / kLogName));
}

TEST_F(CLogAsAnotherUser, WithoutAThreadLinesStayQueuedAndStopHasNothingToStop) {
    const fs::path dir = m_tmp / "own";
    fs::create_directory(dir);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(dir.c_str(), kOtherUser, kOtherUser), 0);
    }
    EXPECT_EQ(runProbe("--no-threads " + dir.string() + " line"),
              "create thread error! \r\n\n\nstopped=0");
    EXPECT_EQ(readFile(dir / kLogName), "");
}

}  // namespace
}  // namespace kestrova::test
