// Crashes the test program in every way the reporter must handle and checks the outcome
// from outside: how the process ended, the dump file, and what two independent minidump
// readers (LLDB and LLVM's obj2yaml) make of it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

#include "tests/support/Child.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kWrittenText = "本程序遇到未处理的异常，MiniDump文件已经生成在程序的运行目录。";
const std::string kFailedText = "本程序遇到未处理的异常，生成MiniDump文件失败";

class CrashReporterTest : public ::testing::Test {
protected:
    // The folder is readable by the unprivileged user, writable by root only.
    void SetUp() override { fs::copy_file(CRASH_PROGRAM, m_program); }

    Child crash(const std::string& command, ChildOptions options = {}) {
        options.workingDirectory = m_folder;
        Child child({m_program, command}, options);
        EXPECT_TRUE(child.wait());
        return child;
    }

    // The id of the thread that the program announced before crashing.
    static std::string announcedThread(const Child& result) {
        std::smatch match;
        const std::string out = result.out();
        return std::regex_search(out, match, std::regex("tid=([0-9]+)")) ? match[1].str() : "";
    }

    std::string lldbOutput() const {
        return runCommand("timeout 60 lldb-14 --batch -x -c '" + m_dump + "' '" + m_program +
                          "' -o bt -o 'thread list' 2>/dev/null");
    }

    // Entries of the program's folder, besides a core file the system may leave.
    long folderEntries() const {
        return std::count_if(fs::directory_iterator(m_folder), fs::directory_iterator(),
                             [](const fs::directory_entry& entry) {
                                 return !entry.path().filename().string().starts_with("core");
                             });
    }

    TempDir m_tmp;
    const std::string m_folder = m_tmp.path().string();
    const std::string m_program = m_folder + "/crash_program";
    const std::string m_dump = m_program + ".dmp";
};

TEST_F(CrashReporterTest, EveryCrashLeavesADumpThatLldbUnwindsToTheCrashingFunction) {
    struct Row {
        const char* command;
        int signalNumber;
        const char* signalName;
        const char* function;
    };
    // Consecutive rows differ in signal or thread, so each dump visibly replaces the last.
    const Row rows[] = {
        {"null-main", SIGSEGV, "SIGSEGV", "crashByNullWrite"},
        {"abort", SIGABRT, "SIGABRT", "crashByAbort"},
        {"null-thread", SIGSEGV, "SIGSEGV", "crashByNullWrite"},
        {"recursion", SIGSEGV, "SIGSEGV", "recurseWithoutEnd"},
        {"recursion-worker", SIGSEGV, "SIGSEGV", "recurseWithoutEnd"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        const Child result = crash(row.command);
        EXPECT_TRUE(result.killedBy(row.signalNumber)) << "status " << result.status();
        EXPECT_FALSE(result.dumpedCore());
        EXPECT_THAT(result.err(), HasSubstr(kWrittenText));

        ASSERT_TRUE(fs::exists(m_dump));
        EXPECT_EQ(fs::status(m_dump).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);

        const std::string thread = announcedThread(result);
        ASSERT_FALSE(thread.empty());
        const std::string lldb = lldbOutput();
        EXPECT_THAT(lldb, HasSubstr(std::string("stop reason = signal ") + row.signalName));
        EXPECT_THAT(lldb, HasSubstr(row.function));
        // A caller's frame is found only when the stack made it into the dump.
        EXPECT_THAT(lldb, HasSubstr("frame #1:"));
        // The selected thread ("* thread") is the one that crashed.
        EXPECT_TRUE(
            std::regex_search(lldb, std::regex("\\* thread #[0-9]+: tid = " + thread + ",")))
            << lldb;
    }
}

TEST_F(CrashReporterTest, ObjToYamlFindsTheStreamsTheExceptionTheStackAndTheBuildId) {
    const Child result = crash("null-main");
    ASSERT_TRUE(result.killedBy(SIGSEGV));
    const std::string yaml = runCommand("obj2yaml-14 '" + m_dump + "' 2>/dev/null");
    for (const char* type : {"SystemInfo", "MiscInfo", "Exception", "ThreadList", "MemoryList",
                             "ModuleList", "LinuxMaps", "LinuxProcStatus"}) {
        SCOPED_TRACE(type);
        EXPECT_TRUE(std::regex_search(yaml, std::regex(std::string("- Type: +") + type + "\n")));
    }
    EXPECT_TRUE(std::regex_search(yaml, std::regex("Processor Arch: +AMD64")));
    EXPECT_TRUE(std::regex_search(yaml, std::regex("Platform ID: +Linux")));

    char thread[16];
    std::snprintf(thread, sizeof thread, "%lX", std::stoul(announcedThread(result)));
    // The program wrote through a null record pointer to a member at offset 0x28.
    EXPECT_TRUE(std::regex_search(
        yaml, std::regex(std::string("Thread ID: +0x") + thread +
                         "\n +Exception Record:\n +Exception Code: +0xB\n"
                         " +Exception Flags: +0x1\n +Exception Address: +0x28\n")))
        << yaml.substr(0, 2000);
    EXPECT_TRUE(std::regex_search(
        yaml, std::regex(std::string("Thread Id: +0x") + thread +
                         "\n +Context: +[0-9A-F]+\n +Stack:\n +Start of Memory Range: +0x[0-9A-F]+"
                         "\n +Content: +[0-9A-F]{1024,}")));

    std::smatch match;
    const std::string notes = runCommand("readelf -n '" + m_program + "'");
    ASSERT_TRUE(std::regex_search(notes, match, std::regex("Build ID: ([0-9a-f]+)")));
    std::string buildId = match[1].str();
    for (char& c : buildId) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_TRUE(
        std::regex_search(yaml, std::regex("Module Name: +'" + m_program +
                                           "'\n +CodeView Record: +4C457042" + buildId + "\n")));
}

TEST_F(CrashReporterTest, WithoutWriteRightsNoDumpNoBoxAndTheSignalEndsTheProcess) {
    ChildOptions options;
    options.unprivilegedId = kOtherUser;
    const Child result = crash("null-main", options);
    EXPECT_FALSE(announcedThread(result).empty()) << result.err();
    EXPECT_TRUE(result.killedBy(SIGSEGV)) << "status " << result.status();
    EXPECT_FALSE(fs::exists(m_dump));
    EXPECT_THAT(result.err(), Not(HasSubstr(kWrittenText)));
    EXPECT_THAT(result.err(), Not(HasSubstr(kFailedText)));
}

// Watched from the moment of the signal, the dump's name only ever holds a whole dump:
// first the earlier one, then the new one. The crashing program shares this thread's CPU
// at idle priority, so it writes only while the watcher pauses between looks.
TEST_F(CrashReporterTest, TheDumpsNameNeverShowsAPartialDump) {
    const std::string earlier = "MDMP an earlier dump";
    test::writeFile(m_dump, earlier);
    cpu_set_t previous;
    ASSERT_EQ(::sched_getaffinity(0, sizeof previous, &previous), 0);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(::sched_getcpu(), &one);
    ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
    ChildOptions options;
    options.workingDirectory = m_folder;
    Child child({"chrt", "--idle", "0", m_program, "wait"}, options);
    ASSERT_TRUE(waitFor([&] { return !announcedThread(child).empty(); }));
    child.signal(SIGSEGV);
    int looks = 0;
    int partial = 0;
    std::string first;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!child.wait(std::chrono::milliseconds(0)) &&
           std::chrono::steady_clock::now() < deadline) {
        // Nothing at all would be as wrong: the earlier dump is there until replaced.
        const std::string head = test::readFile(m_dump).substr(0, 4);
        ++looks;
        if (head != "MDMP" && partial++ == 0) {
            first = head;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(10));
    }
    ::sched_setaffinity(0, sizeof previous, &previous);
    EXPECT_TRUE(child.killedBy(SIGSEGV)) << "status " << child.status();
    EXPECT_GT(looks, 10);
    EXPECT_EQ(partial, 0) << "the dump's name showed a file starting with [" << first << "]";
    EXPECT_EQ(test::readFile(m_dump).substr(0, 4), "MDMP");
    EXPECT_NE(test::readFile(m_dump), earlier);
    EXPECT_EQ(folderEntries(), 2) << "the program and its dump, no temporary file";
}

TEST_F(CrashReporterTest, ADumpCutShortKeepsTheEarlierDumpShowsTheFailureTextAndTheSignalEnds) {
    const std::string earlier = "MDMP an earlier dump";
    test::writeFile(m_dump, earlier);
    ChildOptions options;
    options.fileSizeLimit = 4096;
    options.ignoredSignals = {SIGXFSZ};
    const Child result = crash("null-main", options);
    EXPECT_TRUE(result.killedBy(SIGSEGV)) << "status " << result.status();
    EXPECT_THAT(result.err(), HasSubstr(kFailedText));
    EXPECT_THAT(result.err(), Not(HasSubstr(kWrittenText)));
    EXPECT_EQ(test::readFile(m_dump), earlier);
    EXPECT_EQ(folderEntries(), 2) << "the program and its dump, no temporary file";
}

TEST_F(CrashReporterTest, PureVirtualCallIsCaughtAsInvalidArgumentAndLeavesNoDump) {
    const Child result = crash("pure-virtual");
    EXPECT_TRUE(result.exitedWith(0)) << "status " << result.status() << "\n" << result.err();
    EXPECT_THAT(result.out(), HasSubstr("invalid_argument message=[]"));
    EXPECT_FALSE(fs::exists(m_dump));
}

TEST_F(CrashReporterTest, NormalExitPutsThePreviousDispositionsBack) {
    ChildOptions options;
    options.ignoredSignals = {SIGBUS, SIGFPE};
    const Child result = crash("exit", options);
    EXPECT_TRUE(result.exitedWith(0)) << "status " << result.status() << "\n" << result.out();
    EXPECT_THAT(result.out(), HasSubstr("installed: yes"));
    EXPECT_THAT(result.out(), HasSubstr("dispositions at exit: restored"));
    EXPECT_FALSE(fs::exists(m_dump));
}

}  // namespace
}  // namespace kestrova::test
