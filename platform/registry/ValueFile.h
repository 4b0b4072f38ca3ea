// Reading one registry value from its file.
#pragma once

#include <string>

#include "platform/registry/Registry.h"

namespace kestrova::registry {

// Values above this size are refused rather than read into memory.
inline constexpr long kMaxValueFileBytes = 1 << 20;

struct ValueText {
    LONG result = ERROR_SUCCESS;
    std::wstring text;
};

// The value stored in the file: UTF-8 with malformed bytes replaced by U+FFFD, without its
// one trailing newline. Anything but a regular file counts as a missing value.
ValueText readValueFile(const std::string& path);

}  // namespace kestrova::registry
