// Time-stamped log lines.
#include "log/LogLine.h"

#include "log/CLog.h"

namespace kestrova {

std::string stampLogLine(std::string_view text, std::time_t when) {
    std::tm local{};
    // "%z" needs the zone fields that only a successful conversion fills; without one the
    // stamp is left out rather than made up.
    char stamp[48] = {};
    std::size_t length = 0;
    if (::localtime_r(&when, &local) != nullptr) {
        length = std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S%z ", &local);
    }
    std::string line(stamp, length);
    line.append(text);
    return line;
}

std::string stampLogLine(std::string_view text) {
    return stampLogLine(text, std::time(nullptr));
}

void logLine(std::string_view text) {
    CLog::GetInstance()->Append(stampLogLine(text));
}

}  // namespace kestrova
