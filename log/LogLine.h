// Caller-side formatting of log lines: the writer adds nothing but the line end, so the time
// stamp is put in front by whoever queues the line.
//
//   kestrova::logLine("advert: text shown");
//   // RazOdezerivozi.log: 2026-12-06T21:40:00+0100 advert: text shown
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace kestrova {

// text prefixed with the local time of when as "YYYY-MM-DDThh:mm:ss+hhmm " (ISO 8601, with
// the local zone's offset from UTC).
std::string stampLogLine(std::string_view text, std::time_t when);

// The same at the current time.
std::string stampLogLine(std::string_view text);

// Queues text, stamped with the current time, on the process's logger.
void logLine(std::string_view text);

}  // namespace kestrova
