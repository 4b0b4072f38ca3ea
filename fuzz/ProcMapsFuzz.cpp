// The crash writer's reading of /proc/self/maps: any text gives ordered, disjoint ranges
// within the storage, paths inside the text, and lookups that agree with a plain search.
#include <array>
#include <cstdint>

#include "fuzz/FuzzCheck.h"
#include "platform/crash/ProcMaps.h"

namespace {

using kestrova::MapsEntry;
using kestrova::MapsView;

const MapsEntry* holding(const MapsView& maps, std::uint64_t address) {
    for (std::size_t i = 0; i < maps.size(); ++i) {
        if (maps[i].start <= address && address < maps[i].end) {
            return &maps[i];
        }
    }
    return nullptr;
}

bool readable(const MapsView& maps, std::uint64_t address, std::uint64_t length) {
    if (address + length < address) {
        return false;
    }
    std::uint64_t covered = address;
    for (std::size_t i = 0; i < maps.size() && covered < address + length; ++i) {
        if (maps[i].readable && maps[i].start <= covered && covered < maps[i].end) {
            covered = maps[i].end;
        }
    }
    return covered >= address + length;
}

void checkAround(const MapsView& maps, std::uint64_t address) {
    FUZZ_CHECK(maps.find(address) == holding(maps, address));
    for (std::uint64_t length : {std::uint64_t{1}, std::uint64_t{4096}, UINT64_MAX}) {
        FUZZ_CHECK(maps.isReadable(address, length) == readable(maps, address, length));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    std::array<MapsEntry, 16> storage;
    MapsView maps(storage.data(), storage.size());
    FUZZ_CHECK(maps.parse(text, size) == maps.size() && maps.size() <= storage.size());
    for (std::size_t i = 0; i < maps.size(); ++i) {
        const MapsEntry& entry = maps[i];
        FUZZ_CHECK(entry.start < entry.end && (i == 0 || maps[i - 1].end <= entry.start));
        FUZZ_CHECK(entry.path >= text && entry.path + entry.pathLength <= text + size);
        checkAround(maps, entry.start - 1);
        checkAround(maps, entry.start);
        checkAround(maps, entry.end - 1);
        checkAround(maps, entry.end);
    }
    return 0;
}
