// Time stamps in front of log lines, in the local zone with its offset.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "log/LogLine.h"

namespace kestrova::test {
namespace {

// Sets TZ for the scope and puts the previous zone back afterwards.
class ScopedZone {
public:
    explicit ScopedZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            m_old = old;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedZone() {
        if (m_old) {
            ::setenv("TZ", m_old->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    ScopedZone(const ScopedZone&) = delete;
    ScopedZone& operator=(const ScopedZone&) = delete;

private:
    std::optional<std::string> m_old;
};

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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zone);
        ScopedZone zone(c.zone);
        EXPECT_EQ(stampLogLine("advert: none", kWhen), std::string(c.stamp) + "advert: none");
    }
}

}  // namespace
}  // namespace kestrova::test
