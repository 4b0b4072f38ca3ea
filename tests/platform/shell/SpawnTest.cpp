// Starting the real opener: a recording "xdg-open" first on PATH shows what it was given;
// the process table shows that it was not waited for, was reaped, and that the process's
// other children were left alone.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/shell/ShellExecute.h"
#include "platform/shell/Spawn.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using test::waitFor;

// 'Z' for a zombie, 0 once the process is gone altogether.
char processState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return 0;
    size_t paren = line.rfind(')');
    return paren + 2 < line.size() ? line[paren + 2] : 0;
}

class Spawn : public ::testing::Test {
protected:
    void SetUp() override {
        script("xdg-open",
               "printf '%s\\n' \"$#\" \"$@\" > \"$dir/args.tmp\"\n"
               "ls /proc/$$/fd > \"$dir/fds.tmp\"\n"
               "mv \"$dir/fds.tmp\" \"$dir/fds\"; mv \"$dir/args.tmp\" \"$dir/args\"\n");
        script("blocker", "read line < \"$dir/fifo\"\n");
        ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
        const char* path = std::getenv("PATH");
        oldPath = path ? path : "";
        setenv("PATH", (dir.path().string() + ":" + oldPath).c_str(), 1);
    }
    void TearDown() override { setenv("PATH", oldPath.c_str(), 1); }
    void script(const std::string& name, const std::string& body) {
        std::ofstream(dir / name) << "#!/bin/sh\ndir='" << dir.path().string() << "'\n" << body;
        fs::permissions(dir / name, fs::perms::owner_all);
    }

    test::TempDir dir;
    std::string oldPath;
};

TEST_F(Spawn, TheLinkReachesXdgOpenAsOneArgumentWithoutAShell) {
    int devnull = open("/dev/null", O_RDONLY);
    ASSERT_EQ(dup2(devnull, 77), 77);  // dup2 leaves close-on-exec off
    close(devnull);
    std::wstring link = L"http://a.test/a b;$(touch x)&c='d'`id`";
    auto result = reinterpret_cast<std::intptr_t>(ShellExecuteW(
        nullptr, L"open", L"explorer.exe", (L"\"" + link + L"\"").c_str(), nullptr, SW_SHOW));
    EXPECT_GT(result, 32);
    ASSERT_TRUE(waitFor([&] { return fs::exists(dir / "args"); }));
    EXPECT_EQ(test::readFile(dir / "args"), "1\nhttp://a.test/a b;$(touch x)&c='d'`id`\n");
    EXPECT_FALSE(fs::exists(dir / "x"));
    std::string fds = test::readFile(dir / "fds");
    EXPECT_EQ(fds.find("77\n"), std::string::npos) << "descriptors above 2 are not inherited";
    close(77);
}

TEST_F(Spawn, TheChildIsNotWaitedForButReapedAndOtherChildrenAreLeftAlone) {
    pid_t own = fork();
    ASSERT_GE(own, 0);
    if (own == 0)
        _exit(7);

    auto pid = spawnDetached({"blocker"});
    ASSERT_TRUE(pid.has_value());
    EXPECT_NE(processState(*pid), 0) << "still running: nobody waits for it";
    EXPECT_NE(processState(*pid), 'Z');
    {
        std::ofstream release(dir / "fifo");
        release << "go\n";
    }
    EXPECT_TRUE(waitFor([&] { return processState(*pid) == 0; })) << "left as a zombie";

    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(spawnDetached({"true"}).has_value());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int status = 0;
    ASSERT_EQ(waitpid(own, &status, 0), own) << "another child's status was taken";
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

TEST_F(Spawn, AMissingOpenerIsAFailure) {
    EXPECT_FALSE(spawnDetached({"kestrova-no-such-program"}).has_value());
    EXPECT_FALSE(spawnDetached({}).has_value());
    setenv("PATH", "/nonexistent", 1);
    auto result = reinterpret_cast<std::intptr_t>(
        ShellExecuteW(nullptr, L"open", L"explorer.exe", L"\"http://a.test/\"", nullptr, SW_SHOW));
    EXPECT_EQ(result, SE_ERR_FNF);
}

}  // namespace
}  // namespace kestrova
