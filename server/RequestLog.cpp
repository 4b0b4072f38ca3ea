// Formatting and writing of the request log.
#include "server/RequestLog.h"

#include <algorithm>
#include <cstdio>

namespace kestrova {

std::string isoTime(std::chrono::sys_seconds when) {
    const std::chrono::sys_days day = std::chrono::floor<std::chrono::days>(when);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss clock{when - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()));
    return text;
}

std::string escapeForLog(std::string_view text, std::size_t maxLength) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(std::min(text.size(), maxLength) + 3);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = byte > 0x20 && byte < 0x7f && c != '\\';
        const std::size_t width = plain ? 1 : 4;
        if (out.size() + width > maxLength) {
            out += "...";
            break;
        }
        if (plain) {
            out += c;
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        }
    }
    return out;
}

std::string formatRequestLine(std::chrono::sys_seconds when, std::string_view path,
                              std::string_view query, int status) {
    std::string line = isoTime(when);
    line += ' ';
    line += path.empty() ? std::string("-") : escapeForLog(path);
    line += ' ';
    line += query.empty() ? std::string("-") : "?" + escapeForLog(query);
    line += ' ';
    line += std::to_string(status);
    return line;
}

void RequestLog::write(const std::string& line) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_out << line << '\n';
    m_out.flush();
}

}  // namespace kestrova
