// Writes a dump of this very process from a captured context and reads it back with a
// small reader of the container, independent of the writer's own records. The module list
// is checked by the crash reporter's tests, with an outside reader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/crash/CrashBox.h"
#include "platform/crash/DumpFile.h"
#include "platform/crash/ExceptionFilter.h"
#include "platform/crash/MiniDump.h"
#include "tests/support/TempDir.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;

// Little-endian fields of a dump held in memory.
class DumpReader {
public:
    explicit DumpReader(std::string bytes) : m_bytes(std::move(bytes)) {}

    template <typename T>
    T at(uint64_t offset) const {
        T value{};
        if (offset + sizeof value <= m_bytes.size()) {
            std::memcpy(&value, m_bytes.data() + offset, sizeof value);
        }
        return value;
    }

    // RVA and size of the stream of that type; {0, 0} when absent.
    std::pair<uint32_t, uint32_t> stream(uint32_t type) const {
        const uint32_t directory = at<uint32_t>(12);
        for (uint32_t i = 0; i < at<uint32_t>(8); ++i) {
            const uint32_t entry = directory + i * 12;
            if (at<uint32_t>(entry) == type) {
                return {at<uint32_t>(entry + 8), at<uint32_t>(entry + 4)};
            }
        }
        return {0, 0};
    }

    std::string bytes(uint64_t offset, uint64_t size) const {
        return offset + size <= m_bytes.size() ? m_bytes.substr(offset, size) : std::string();
    }

private:
    std::string m_bytes;
};

// Started as a crash's box process, this program stands for a box nobody dismisses.
[[maybe_unused]] const bool kStandingBox = [] {
    if (std::getenv("KESTROVA_CRASH_BOX_TEXT") != nullptr) {
        for (;;) {
            ::pause();
        }
    }
    return false;
}();

struct DumpFileTest : ::testing::Test {
    test::TempDir m_tmp;
    const std::string m_folder = m_tmp.path().string(), m_path = m_folder + "/program.dmp";
};

TEST_F(DumpFileTest, RecordsTheExceptionTheContextTheStackAndTheThreads) {
    // A second thread must appear in the thread list too.
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> otherId{0};
    std::thread other([&] {
        otherId = getCurrentThreadId();
        while (!stop) {
            std::this_thread::yield();
        }
    });
    while (otherId == 0) {
        std::this_thread::yield();
    }

    volatile char marker[] = "stack-marker-of-the-dump-test";
    ucontext_t context;
    ASSERT_EQ(::getcontext(&context), 0);
    siginfo_t info{};
    info.si_signo = SIGSEGV;
    info.si_code = SEGV_MAPERR;
    info.si_addr = reinterpret_cast<void*>(0x1234);
    EXCEPTION_POINTERS pointers{SIGSEGV, &info, &context};
    const uint32_t self = getCurrentThreadId();

    prepareMiniDumpWriter();
    DumpFile file;
    ASSERT_TRUE(createDumpFile(m_path.c_str(), file));
    const bool written = MiniDumpWriteDump(file.fd, {self, &pointers}) && commitDumpFile(file);
    stop = true;
    other.join();
    ASSERT_TRUE(written);

    const DumpReader dump(test::readFile(m_path));
    EXPECT_EQ(dump.at<uint32_t>(0), 0x504d444du);
    EXPECT_EQ(dump.at<uint32_t>(4) & 0xffff, 0xa793u);
    EXPECT_EQ(dump.at<uint32_t>(8), 8u);

    // Exception: signal, code, address, and the context it points at.
    const auto [exception, exceptionSize] = dump.stream(6);
    ASSERT_EQ(exceptionSize, 168u);
    EXPECT_EQ(dump.at<uint32_t>(exception), self);
    EXPECT_EQ(dump.at<uint32_t>(exception + 8), uint32_t{SIGSEGV});
    EXPECT_EQ(dump.at<uint32_t>(exception + 12), uint32_t{SEGV_MAPERR});
    EXPECT_EQ(dump.at<uint64_t>(exception + 24), 0x1234u);
    EXPECT_EQ(dump.at<uint32_t>(exception + 160), 1232u);
    const uint32_t contextRva = dump.at<uint32_t>(exception + 164);
    EXPECT_EQ(dump.at<uint32_t>(contextRva + 48), 0x0010001fu);
    EXPECT_EQ(dump.at<uint64_t>(contextRva + 248),
              static_cast<uint64_t>(context.uc_mcontext.gregs[REG_RIP]));
    EXPECT_EQ(dump.at<uint64_t>(contextRva + 152),
              static_cast<uint64_t>(context.uc_mcontext.gregs[REG_RSP]));

    // Threads: both are listed; ours carries the context and a stack around its pointer.
    const auto [threads, threadsSize] = dump.stream(3);
    const uint32_t threadCount = dump.at<uint32_t>(threads);
    EXPECT_EQ(threadsSize, 4 + threadCount * 48);
    bool sawOther = false, sawSelf = false;
    for (uint32_t i = 0; i < threadCount; ++i) {
        const uint32_t entry = threads + 4 + i * 48;
        sawOther = sawOther || dump.at<uint32_t>(entry) == otherId;
        if (dump.at<uint32_t>(entry) != self) {
            continue;
        }
        sawSelf = true;
        EXPECT_EQ(dump.at<uint32_t>(entry + 44), contextRva);
        const uint64_t start = dump.at<uint64_t>(entry + 24);
        const uint32_t size = dump.at<uint32_t>(entry + 32);
        const uint64_t sp = static_cast<uint64_t>(context.uc_mcontext.gregs[REG_RSP]);
        EXPECT_LE(start, sp);
        EXPECT_GT(start + size, sp);
        const std::string stack = dump.bytes(dump.at<uint32_t>(entry + 36), size);
        EXPECT_NE(stack.find(const_cast<const char*>(marker)), std::string::npos);
    }
    EXPECT_TRUE(sawSelf);
    EXPECT_TRUE(sawOther);
}

TEST_F(DumpFileTest, AFullDiskIsReportedAsAFailedDump) {
    ucontext_t context;
    ASSERT_EQ(::getcontext(&context), 0);
    EXCEPTION_POINTERS pointers{SIGABRT, nullptr, &context};
    prepareMiniDumpWriter();
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    EXPECT_FALSE(MiniDumpWriteDump(full, {getCurrentThreadId(), &pointers}));
    ::close(full);
}

TEST_F(DumpFileTest, ADumpTakesItsNameOnlyWholeForTheOwnerOnlyAndNeverThroughALink) {
    const std::string temporary = m_path + "." + std::to_string(::getpid()) + ".tmp";
    const std::string target = m_folder + "/target";
    const auto write = [](const DumpFile& file, const std::string& bytes) {
        return ::write(file.fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    };
    const auto onlyTheOwner = fs::perms::owner_read | fs::perms::owner_write;

    test::writeFile(m_path, "an older dump");
    fs::permissions(m_path, onlyTheOwner | fs::perms::group_read | fs::perms::others_read);
    DumpFile file;
    ASSERT_TRUE(createDumpFile(m_path.c_str(), file));
    ASSERT_TRUE(write(file, "MDMP a new dump"));
    EXPECT_EQ(test::readFile(m_path), "an older dump") << "the name shows no partial dump";
    discardDumpFile(file);
    EXPECT_EQ(test::readFile(m_path), "an older dump") << "an incomplete dump replaces nothing";
    EXPECT_FALSE(fs::exists(temporary));

    // Links planted at either name are replaced, never written through.
    test::writeFile(target, "keep me");
    fs::create_symlink(target, temporary);
    fs::remove(m_path);
    fs::create_symlink(target, m_path);
    ASSERT_TRUE(createDumpFile(m_path.c_str(), file));
    ASSERT_TRUE(write(file, "MDMP a new dump"));
    ASSERT_TRUE(commitDumpFile(file));
    EXPECT_EQ(test::readFile(m_path), "MDMP a new dump");
    EXPECT_FALSE(fs::is_symlink(m_path));
    EXPECT_EQ(fs::status(m_path).permissions() & fs::perms::all, onlyTheOwner);
    EXPECT_EQ(test::readFile(target), "keep me");
    EXPECT_FALSE(fs::exists(temporary));

    EXPECT_FALSE(createDumpFile((m_folder + "/missing/program.dmp").c_str(), file));
}

TEST(CrashBox, ABoxLeftStandingIsEndedAfterTheWaitLimit) {
    prepareCrashBox();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runCrashBoxProcess(L"text", L"caption", 300), 0);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "the box process is reaped";
}

TEST(ModuleFileName, GivesTheExecutablesPathOrNothingWhenItDoesNotFit) {
    const std::string expected = fs::read_symlink("/proc/self/exe").string();
    char buffer[4096];
    ASSERT_EQ(getModuleFileName(buffer, sizeof buffer), expected.size());
    EXPECT_EQ(std::string(buffer), expected);

    // A path cut to fit could name some other file; it is refused instead.
    const auto tight = static_cast<uint32_t>(expected.size());
    EXPECT_EQ(getModuleFileName(buffer, tight), 0u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(getModuleFileName(buffer, tight + 1), expected.size());
}

}  // namespace
}  // namespace kestrova
