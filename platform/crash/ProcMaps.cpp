// Parsing /proc/self/maps into ranges without allocating, for the signal handler.
#include "platform/crash/ProcMaps.h"

namespace kestrova {
namespace {

// A cursor over one line; every reader stops at the line's end.
struct LineCursor {
    const char* at;
    const char* end;

    bool readHex(uint64_t& value) {
        const char* first = at;
        value = 0;
        while (at < end) {
            const char c = *at;
            int digit = -1;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            }
            if (digit < 0) {
                break;
            }
            value = value * 16 + static_cast<uint64_t>(digit);
            ++at;
        }
        return at != first && at - first <= 16;
    }

    bool readDecimal(uint64_t& value) {
        const char* first = at;
        value = 0;
        while (at < end && *at >= '0' && *at <= '9') {
            value = value * 10 + static_cast<uint64_t>(*at - '0');
            ++at;
        }
        return at != first && at - first <= 19;
    }

    bool expect(char c) {
        if (at < end && *at == c) {
            ++at;
            return true;
        }
        return false;
    }

    bool skipSpaces() {
        const char* first = at;
        while (at < end && *at == ' ') {
            ++at;
        }
        return at != first;
    }
};

}  // namespace

bool parseMapsLine(const char* line, size_t length, MapsEntry& entry) {
    LineCursor cursor{line, line + length};
    uint64_t devMajor = 0;
    uint64_t devMinor = 0;
    if (!cursor.readHex(entry.start) || !cursor.expect('-') || !cursor.readHex(entry.end) ||
        entry.end <= entry.start || !cursor.skipSpaces()) {
        return false;
    }
    if (cursor.end - cursor.at < 4) {
        return false;
    }
    entry.readable = cursor.at[0] == 'r';
    entry.executable = cursor.at[2] == 'x';
    cursor.at += 4;
    if (!cursor.skipSpaces() || !cursor.readHex(entry.offset) || !cursor.skipSpaces() ||
        !cursor.readHex(devMajor) || !cursor.expect(':') || !cursor.readHex(devMinor) ||
        !cursor.skipSpaces() || !cursor.readDecimal(entry.inode)) {
        return false;
    }
    entry.device = devMajor << 32 | devMinor;
    cursor.skipSpaces();
    entry.path = cursor.at;
    entry.pathLength = static_cast<size_t>(cursor.end - cursor.at);
    return true;
}

size_t MapsView::parse(const char* text, size_t length) {
    m_count = 0;
    const char* end = text + length;
    const char* line = text;
    while (line < end && m_count < m_capacity) {
        const char* newline = line;
        while (newline < end && *newline != '\n') {
            ++newline;
        }
        // A last line without its newline may have been cut by a short read.
        if (newline == end) {
            break;
        }
        // Lookups rely on ascending, non-overlapping ranges; anything else is dropped.
        MapsEntry entry;
        if (parseMapsLine(line, static_cast<size_t>(newline - line), entry) &&
            (m_count == 0 || entry.start >= m_entries[m_count - 1].end)) {
            m_entries[m_count++] = entry;
        }
        line = newline + 1;
    }
    return m_count;
}

const MapsEntry* MapsView::findAtOrAbove(uint64_t address) const {
    size_t low = 0;
    size_t high = m_count;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (m_entries[middle].end <= address) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low < m_count ? &m_entries[low] : nullptr;
}

const MapsEntry* MapsView::find(uint64_t address) const {
    const MapsEntry* entry = findAtOrAbove(address);
    return entry != nullptr && entry->start <= address ? entry : nullptr;
}

bool MapsView::isReadable(uint64_t address, uint64_t length) const {
    if (length == 0) {
        return true;
    }
    if (address + length < address) {
        return false;
    }
    const uint64_t last = address + length;
    uint64_t covered = address;
    const MapsEntry* entry = find(address);
    while (entry != nullptr && entry->readable && entry->start <= covered) {
        covered = entry->end;
        if (covered >= last) {
            return true;
        }
        const MapsEntry* next = entry + 1;
        entry = next < m_entries + m_count ? next : nullptr;
    }
    return false;
}

}  // namespace kestrova
