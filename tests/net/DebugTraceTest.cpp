// The bounded trace formatting, read back from standard error and from the log.
#include <gtest/gtest.h>

#include <string>

#include "log/CLog.h"
#include "net/DebugTrace.h"
#include "tests/net/LoopbackServers.h"
#include "tests/support/TempDir.h"

namespace kestrova::test {
namespace {

// Each trace is wrapped and cut at 1023 characters, and is one stamped line of the log even
// when it ends in a line break.
TEST(DebugTrace, WrapsBoundsAndLogsTheMessageAsOneLine) {
    TempDir folder;
    CLog::GetInstance()->Init(folder.path().c_str());
    for (const std::size_t length : {1023, 1024, 5000}) {
        SCOPED_TRACE(length);
        const std::string message(length, 'm');
        StderrCapture trace;
        debugTrace("%s", message.c_str());
        EXPECT_EQ(trace.text(), "[" + message.substr(0, 1023) + "]");
    }
    {
        StderrCapture quiet;
        debugTrace("rename error lasterror=[%d]\n", 16);
    }
    CLog::GetInstance()->Stop();
    const std::string written = readFile(folder / "RazOdezerivozi.log");
    const std::string line = written.substr(written.rfind('\n', written.size() - 2) + 1);
    EXPECT_EQ(line.substr(line.find(' ') + 1), "[rename error lasterror=[16] ]\n");
}

}  // namespace
}  // namespace kestrova::test
