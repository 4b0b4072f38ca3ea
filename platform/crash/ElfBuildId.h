// Finds the build id of an ELF image that is mapped in this process, reading only memory
// that the mappings say is readable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/crash/ProcMaps.h"

namespace kestrova {

// True when an ELF header starts at the address.
bool isMappedElf(const MapsView& maps, uint64_t base);

// Copies the GNU build id of the image whose ELF header is at `base` into `out` and
// returns its length; 0 when there is none or it does not fit.
size_t readElfBuildId(const MapsView& maps, uint64_t base, uint8_t* out, size_t capacity);

}  // namespace kestrova
