// The open keys of the process: which folder each handle stands for and with what rights.
#pragma once

#include <string>

#include "platform/registry/Registry.h"

namespace kestrova::registry {

struct KeyEntry {
    std::string folder;
    REGSAM access = 0;
};

// A new handle for an opened key.
HKEY addKey(KeyEntry entry);

// The key behind a handle; false for a handle that is not open. A hive resolves to its
// folder with every right (the folder's own permissions still apply to what is in it).
bool findKey(HKEY key, KeyEntry& entry);

// Forgets a handle; false when it was not open.
bool removeKey(HKEY key);

bool isHive(HKEY key);

}  // namespace kestrova::registry
