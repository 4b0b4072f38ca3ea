// The bounded trace formatting, read back from standard error.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace kestrova::test
