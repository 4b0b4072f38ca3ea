// The bounded rename loop with staged file-system failures.
#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "net/RenameRetry.h"
#include "tests/net/LoopbackServers.h"

namespace kestrova::test {
namespace {

struct Staged {
    std::vector<int> failures;  // errno of each failing attempt, then success
    int attempts = 0;
    int waits = 0;

    RenameOps ops() {
        return RenameOps{
            [this](const std::string&, const std::string&) {
                const std::size_t index = static_cast<std::size_t>(attempts++);
                return index < failures.size() ? failures[index] : 0;
            },
            [this](std::chrono::milliseconds wait) {
                EXPECT_EQ(wait, kBusyWait);
                ++waits;
            },
        };
    }
};

TEST(RenameRetry, OutcomesOfStagedFailures) {
    struct Row {
        const char* name;
        std::vector<int> failures;
        int code;
        int attempts;
        int waits;
        const char* message;
    };
    std::vector<int> busyThenDenied(kRenameAttempts, EBUSY);
    busyThenDenied.back() = EACCES;
    const std::vector<Row> rows = {
        {"free at once", {}, 200, 1, 0, "No error"},
        {"busy for two seconds", std::vector<int>(20, EBUSY), 200, 21, 20, "No error"},
        {"busy for good", std::vector<int>(kRenameAttempts, EBUSY), -2, kRenameAttempts,
         kRenameAttempts, "rename error lasterror=[16]"},
        {"denied for good", std::vector<int>(kRenameAttempts, EACCES), -1, kRenameAttempts, 0,
         "rename error lasterror=[13]"},
        {"busy, then denied at the end", busyThenDenied, -1, kRenameAttempts, kRenameAttempts - 1,
         "rename error lasterror=[13]"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Staged staged{row.failures};
        StderrCapture quiet;
        const CurlResult result =
            moveTempFile("a.temp", "a", nullptr, {200, "No error"}, staged.ops());
        EXPECT_EQ(result.code, row.code);
        EXPECT_EQ(result.message, row.message);
        EXPECT_EQ(staged.attempts, row.attempts);
        EXPECT_EQ(staged.waits, row.waits);
    }
}

TEST(RenameRetry, StopFlagEndsTheLoopWithoutSuccess) {
    std::atomic<bool> stop{false};
    Staged staged{std::vector<int>(kRenameAttempts, EBUSY)};
    RenameOps ops = staged.ops();
    ops.sleep = [&](std::chrono::milliseconds) {
        if (++staged.waits == 3) {
            stop = true;
        }
    };
    const CurlResult busy = moveTempFile("a.temp", "a", &stop, {200, "No error"}, ops);
    EXPECT_EQ(busy.code, -2);
    EXPECT_EQ(staged.attempts, 3);

    Staged untouched;
    const CurlResult first = moveTempFile("a.temp", "a", &stop, {200, "No error"}, untouched.ops());
    EXPECT_EQ(first.code, -1);
    EXPECT_EQ(untouched.attempts, 0);
}

}  // namespace
}  // namespace kestrova::test
