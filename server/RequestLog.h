// One line per request on the server's standard output: when, what was asked, what was
// answered. Paths and queries come from clients, so they are escaped to keep every
// request on exactly one line and the terminal free of control sequences.
#pragma once

#include <chrono>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

namespace kestrova {

// "2025-03-01T12:00:00Z".
std::string isoTime(std::chrono::sys_seconds when);

// Printable ASCII stays as it is; every other byte, and the backslash, become \xHH.
// Output is cut at maxLength bytes with "..." so a long request cannot bloat the log.
std::string escapeForLog(std::string_view text, std::size_t maxLength = 512);

// "TIME PATH ?QUERY STATUS", with "-" for an empty query.
std::string formatRequestLine(std::chrono::sys_seconds when, std::string_view path,
                              std::string_view query, int status);

// Writes whole lines from many threads without interleaving, flushing each, so a
// supervisor or a test reading the pipe sees a request as soon as it is answered.
class RequestLog {
public:
    explicit RequestLog(std::ostream& out) : m_out(out) {}
    void write(const std::string& line);

private:
    std::ostream& m_out;
    std::mutex m_lock;
};

}  // namespace kestrova
