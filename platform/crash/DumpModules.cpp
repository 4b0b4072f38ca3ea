// The module list of the dump: ELF images found in the parsed mappings, each with its
// extent, its build id and its name as UTF-16.
#include "platform/crash/DumpModules.h"

#include "platform/crash/ElfBuildId.h"

namespace kestrova {
namespace {

bool sameFile(const MapsEntry& a, const MapsEntry& b) {
    return a.inode == b.inode && a.device == b.device && a.pathLength == b.pathLength;
}

// Decodes one UTF-8 sequence at `text`; sets `used` to the bytes it took.
char32_t decodeUtf8(const unsigned char* text, size_t length, size_t& used) {
    constexpr char32_t kReplacement = 0xfffd;
    const unsigned char lead = text[0];
    used = 1;
    size_t extra = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        return lead;
    } else if (lead >= 0xc2 && lead < 0xe0) {
        extra = 1, value = lead & 0x1f, minimum = 0x80;
    } else if (lead >= 0xe0 && lead < 0xf0) {
        extra = 2, value = lead & 0x0f, minimum = 0x800;
    } else if (lead >= 0xf0 && lead < 0xf5) {
        extra = 3, value = lead & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    if (extra >= length) {
        return kReplacement;
    }
    for (size_t i = 1; i <= extra; ++i) {
        if ((text[i] & 0xc0) != 0x80) {
            return kReplacement;
        }
        value = value << 6 | (text[i] & 0x3f);
    }
    if (value < minimum || value > 0x10ffff || (value >= 0xd800 && value < 0xe000)) {
        return kReplacement;
    }
    used = extra + 1;
    return value;
}

}  // namespace

size_t collectModules(const MapsView& maps, DumpModule* out, size_t capacity) {
    size_t count = 0;
    for (size_t i = 0; i < maps.size() && count < capacity; ++i) {
        const MapsEntry& first = maps[i];
        if (first.offset != 0 || first.pathLength == 0 || first.path[0] != '/' ||
            !isMappedElf(maps, first.start)) {
            continue;
        }
        DumpModule& module = out[count++];
        module = DumpModule{};
        module.base = first.start;
        module.end = first.end;
        module.path = first.path;
        module.pathLength = first.pathLength;
        // Later segments of the same file follow, possibly with unnamed gaps between them.
        for (size_t j = i + 1; j < maps.size(); ++j) {
            if (sameFile(maps[j], first)) {
                if (maps[j].offset == 0) {
                    break;
                }
                module.end = maps[j].end;
            } else if (maps[j].pathLength != 0) {
                break;
            }
        }
        module.buildIdLength =
            readElfBuildId(maps, module.base, module.buildId, sizeof module.buildId);
    }
    return count;
}

size_t utf8ToUtf16(const char* text, size_t length, char16_t* out, size_t capacity) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t units = 0;
    auto put = [&](char16_t unit) {
        if (units < capacity) {
            out[units] = unit;
        }
        ++units;
    };
    size_t at = 0;
    while (at < length) {
        size_t used = 0;
        const char32_t value = decodeUtf8(bytes + at, length - at, used);
        at += used;
        if (value >= 0x10000) {
            put(static_cast<char16_t>(0xd800 + ((value - 0x10000) >> 10)));
            put(static_cast<char16_t>(0xdc00 + ((value - 0x10000) & 0x3ff)));
        } else {
            put(static_cast<char16_t>(value));
        }
    }
    return units;
}

}  // namespace kestrova
