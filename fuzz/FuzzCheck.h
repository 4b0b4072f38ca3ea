// What every fuzz target shares: a property check that stops the run with the input kept,
// and the fields of a structured input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

// A broken property is a finding like a crash: libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (0)

namespace kestrova::fuzz {

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The input cut at each separator byte into at most count fields; the last field keeps
// the rest, separators included, and missing fields are empty.
inline std::vector<std::string_view> fields(std::string_view input, std::size_t count,
                                            char separator = '\n') {
    std::vector<std::string_view> out;
    while (out.size() + 1 < count) {
        const std::size_t at = input.find(separator);
        if (at == std::string_view::npos) {
            break;
        }
        out.push_back(input.substr(0, at));
        input.remove_prefix(at + 1);
    }
    out.push_back(input);
    out.resize(count);
    return out;
}

}  // namespace kestrova::fuzz
