// The outcome of one transfer.
#pragma once

#include <cstdint>
#include <string>

struct CurlResult {
    // 200 on success; otherwise the HTTP status, a libcurl result code, -1 or -2.
    // Callers judge success by code == 200 and nothing else.
    std::int32_t code = -1;
    // libcurl's text for the transfer's result code, or the session's own failure message.
    std::string message;
};
