// Enough of a PNG for the server, which judges pictures by their signature only.
#pragma once

#include <string>
#include <string_view>

namespace kestrova::test {

inline std::string fakePng(std::string_view tail = "picture") {
    return std::string("\x89PNG\r\n\x1a\n", 8) + std::string(tail);
}

}  // namespace kestrova::test
