// Handles are numbers handed out by a table rather than pointers to objects, so a stale or
// twice-closed handle is reported instead of touching freed memory.
#include "platform/registry/KeyTable.h"

#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/registry/RegistryRoot.h"
#include "util/BuildSettings.h"

namespace kestrova::registry {
namespace {

struct Table {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, KeyEntry> keys;
    std::uintptr_t next = 0x100;
};

Table& table() {
    static Table instance;
    return instance;
}

std::mutex& rootLock() {
    static std::mutex instance;
    return instance;
}

std::string& rootFolder() {
    static std::string instance = kestrova::builtInRegistryRoot();
    return instance;
}

}  // namespace

std::string machineRoot() {
    std::lock_guard guard(rootLock());
    return rootFolder();
}

ScopedMachineRoot::ScopedMachineRoot(std::string folder) {
    std::lock_guard guard(rootLock());
    m_strPrevious = std::exchange(rootFolder(), std::move(folder));
}

ScopedMachineRoot::~ScopedMachineRoot() {
    std::lock_guard guard(rootLock());
    rootFolder() = std::move(m_strPrevious);
}

bool isHive(HKEY key) {
    return key == HKEY_LOCAL_MACHINE;
}

HKEY addKey(KeyEntry entry) {
    Table& t = table();
    std::lock_guard guard(t.lock);
    const std::uintptr_t id = t.next++;
    t.keys.emplace(id, std::move(entry));
    return reinterpret_cast<HKEY>(id);
}

bool findKey(HKEY key, KeyEntry& entry) {
    if (isHive(key)) {
        entry = KeyEntry{machineRoot(), KEY_ALL_ACCESS};
        return true;
    }
    Table& t = table();
    std::lock_guard guard(t.lock);
    const auto found = t.keys.find(reinterpret_cast<std::uintptr_t>(key));
    if (found == t.keys.end()) {
        return false;
    }
    entry = found->second;
    return true;
}

bool removeKey(HKEY key) {
    Table& t = table();
    std::lock_guard guard(t.lock);
    return t.keys.erase(reinterpret_cast<std::uintptr_t>(key)) == 1;
}

}  // namespace kestrova::registry
