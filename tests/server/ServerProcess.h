// Reading what the server program prints: the port of its start-up line, and how often a
// line (a request, a reload) appears.
#pragma once

#include <cstdlib>
#include <string>

#include "tests/support/Child.h"
#include "tests/support/Wait.h"

namespace kestrova::test {

// The port the server announced on its start-up line, or -1.
inline int announcedPort(const Child& server) {
    const std::string announced = "listening on http://127.0.0.1:";
    int port = -1;
    waitFor(
        [&] {
            const std::string out = server.out();
            const std::size_t at = out.find(announced);
            if (at != std::string::npos && out.find("/advert\n", at) != std::string::npos) {
                port = std::atoi(out.c_str() + at + announced.size());
            }
            return port > 0;
        },
        std::chrono::seconds(10));
    return port;
}

inline int countOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace kestrova::test
