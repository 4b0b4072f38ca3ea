// The bounded trace formatting, read back from standard error and from the log.
#include <gtest/gtest.h>

#include <string>

#include "log/CLog.h"
#include "net/DebugTrace.h"
#include "tests/net/LoopbackServers.h"

namespace kestrova::test {
namespace {

TEST(DebugTrace, WrapsAndBoundsTheMessage) {
    struct Row {
        std::size_t length;
        std::size_t kept;
    } rows[] = {{0, 0}, {1023, 1023}, {1024, 1023}, {5000, 1023}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.length);
        const std::string message(row.length, 'm');
        StderrCapture trace;
        debugTrace("%s", message.c_str());
        EXPECT_EQ(trace.text(), "[" + message.substr(0, row.kept) + "]");
    }
}

TEST(DebugTrace, FormatsArgumentsAndKeepsTheLineBreakInside) {
    StderrCapture trace;
    debugTrace("curl send msg error: pRes=%s, lResCode=%ld \n", "No error", 404L);
    EXPECT_EQ(trace.text(), "[curl send msg error: pRes=No error, lResCode=404 \n]");
}

// The log gets the same text as one stamped line; its line break cannot split the line.
TEST(DebugTrace, AlsoBecomesOneLineOfTheLog) {
    TempDir folder;
    CLog::GetInstance()->Init(folder.path().c_str());
    {
        StderrCapture quiet;
        debugTrace("rename error lasterror=[%d]\n", 16);
    }
    CLog::GetInstance()->Stop();
    // Traces of the earlier tests were queued too; this one is the last line.
    const std::string written = readFile(folder.path() / "RazOdezerivozi.log");
    const std::size_t lastLine = written.rfind('\n', written.size() - 2) + 1;
    const std::string line = written.substr(lastLine);
    EXPECT_EQ(line.substr(line.find(' ') + 1), "[rename error lasterror=[16] ]\n");
}

}  // namespace
}  // namespace kestrova::test
