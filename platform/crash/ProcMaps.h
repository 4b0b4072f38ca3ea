// Reads the text of /proc/self/maps into address ranges without allocating, so that a
// signal handler can ask which memory it may read and which files are mapped where.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrova {

struct MapsEntry {
    uint64_t start = 0;
    uint64_t end = 0;
    uint64_t offset = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    bool readable = false;
    bool executable = false;
    // Points into the parsed text; empty for anonymous memory.
    const char* path = nullptr;
    size_t pathLength = 0;
};

// A sorted view of the mappings over caller-provided storage. Lines that do not parse are
// skipped; mappings beyond the storage's capacity are dropped.
class MapsView {
public:
    MapsView(MapsEntry* storage, size_t capacity) : m_entries(storage), m_capacity(capacity) {}

    size_t parse(const char* text, size_t length);

    size_t size() const { return m_count; }
    const MapsEntry& operator[](size_t index) const { return m_entries[index]; }

    // The mapping holding the address, or null.
    const MapsEntry* find(uint64_t address) const;

    // The mapping holding the address or else the nearest one above it, or null.
    const MapsEntry* findAtOrAbove(uint64_t address) const;

    // True when every byte of [address, address + length) lies in readable mappings.
    bool isReadable(uint64_t address, uint64_t length) const;

private:
    MapsEntry* m_entries;
    size_t m_capacity;
    size_t m_count = 0;
};

// Parses one line (without its newline). False when the line is not a mapping.
bool parseMapsLine(const char* line, size_t length, MapsEntry& entry);

}  // namespace kestrova
