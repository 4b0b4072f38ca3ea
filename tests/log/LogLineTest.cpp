// Time stamps in front of log lines, in the local zone with its offset.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "log/LogLine.h"

namespace kestrova::test {
namespace {

TEST(LogLine, StampsTheLocalTimeWithItsOffset) {
    // 2026-12-06T21:40:00Z
    constexpr std::time_t kWhen = 1796593200;
    struct Case {
        const char* zone;
        const char* stamp;
    };
    const Case cases[] = {
        {"UTC0", "2026-12-06T21:40:00+0000 "},
        {"XST-5:30", "2026-12-07T03:10:00+0530 "},
        {"XST10", "2026-12-06T11:40:00-1000 "},
    };
    // Each test program runs in a process of its own: the zone is not put back.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        ::setenv("TZ", c.zone, 1);
        ::tzset();
        EXPECT_EQ(stampLogLine("advert: none", kWhen), std::string(c.stamp) + "advert: none");
    }
}

}  // namespace
}  // namespace kestrova::test
