// The loaded ELF images, found in the mappings, and the name encoding the dump uses.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/crash/ProcMaps.h"

namespace kestrova {

constexpr size_t kMaxBuildIdBytes = 64;

struct DumpModule {
    uint64_t base = 0;
    uint64_t end = 0;
    const char* path = nullptr;
    size_t pathLength = 0;
    uint8_t buildId[kMaxBuildIdBytes] = {};
    size_t buildIdLength = 0;
    // Where the writer put the module's name and code-view record.
    uint32_t nameRva = 0;
    uint32_t cvRva = 0;
};

// One entry per file whose first page holds an ELF header, spanning every following
// mapping of the same file. Returns the count, at most `capacity`.
size_t collectModules(const MapsView& maps, DumpModule* out, size_t capacity);

// Decodes UTF-8 (a malformed byte becomes U+FFFD) into UTF-16 units. Returns the number
// of units the whole text needs; at most `capacity` of them are stored.
size_t utf8ToUtf16(const char* text, size_t length, char16_t* out, size_t capacity);

}  // namespace kestrova
