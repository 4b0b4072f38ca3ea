// Sequential writer of the dump file that remembers where each record landed. It uses only
// write and lseek, so it may run in a signal handler; the first failure sticks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/crash/MinidumpFormat.h"

namespace kestrova {

class DumpOutput {
public:
    explicit DumpOutput(int fd) : m_fd(fd) {}

    // Appends the bytes and returns where they start.
    minidump::LocationDescriptor append(const void* data, size_t size);

    template <typename T>
    minidump::LocationDescriptor appendRecord(const T& record) {
        return append(&record, sizeof record);
    }

    // Appends live process memory; bytes that cannot be read are written as zeros, so the
    // record keeps its announced size.
    minidump::LocationDescriptor appendMemory(uint64_t address, size_t size);

    // Appends zeros up to the next multiple of `alignment` (a power of two).
    void align(uint32_t alignment);

    // Overwrites bytes already written, e.g. the header once the directory is known.
    void patch(uint32_t rva, const void* data, size_t size);

    uint32_t position() const { return m_position; }
    bool ok() const { return m_ok; }

private:
    bool writeAll(const void* data, size_t size);
    void appendZeros(size_t size);

    int m_fd;
    uint32_t m_position = 0;
    bool m_ok = true;
};

}  // namespace kestrova
