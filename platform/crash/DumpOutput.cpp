// Positioned, signal-safe writing of the dump file: the first failure sticks, and gaps
// of unreadable memory are written as zeros.
#include "platform/crash/DumpOutput.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace kestrova {
namespace {

constexpr uint8_t kZeros[4096] = {};
// The container addresses its records with 32-bit offsets.
constexpr uint64_t kMaxDumpSize = UINT32_MAX;

}  // namespace

bool DumpOutput::writeAll(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

minidump::LocationDescriptor DumpOutput::append(const void* data, size_t size) {
    const minidump::LocationDescriptor at{static_cast<uint32_t>(size), m_position};
    if (!m_ok || m_position + uint64_t{size} > kMaxDumpSize || !writeAll(data, size)) {
        m_ok = false;
        return {0, 0};
    }
    m_position += static_cast<uint32_t>(size);
    return at;
}

void DumpOutput::appendZeros(size_t size) {
    while (size > 0 && m_ok) {
        const size_t chunk = size < sizeof kZeros ? size : sizeof kZeros;
        append(kZeros, chunk);
        size -= chunk;
    }
}

minidump::LocationDescriptor DumpOutput::appendMemory(uint64_t address, size_t size) {
    const minidump::LocationDescriptor at{static_cast<uint32_t>(size), m_position};
    if (m_position + uint64_t{size} > kMaxDumpSize) {
        m_ok = false;
    }
    // The kernel reports unreadable memory as EFAULT instead of faulting in the handler. The
    // raw system call keeps memory checkers from judging the bytes of foreign stack frames.
    const auto* bytes = reinterpret_cast<const uint8_t*>(address);
    size_t done = 0;
    while (done < size && m_ok) {
        const ssize_t written = ::syscall(SYS_write, m_fd, bytes + done, size - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno == EFAULT) {
            break;
        }
        if (written <= 0) {
            m_ok = false;
            break;
        }
        done += static_cast<size_t>(written);
        m_position += static_cast<uint32_t>(written);
    }
    appendZeros(size - done);
    return m_ok ? at : minidump::LocationDescriptor{0, 0};
}

void DumpOutput::align(uint32_t alignment) {
    const uint32_t padding = (alignment - m_position % alignment) % alignment;
    appendZeros(padding);
}

void DumpOutput::patch(uint32_t rva, const void* data, size_t size) {
    if (!m_ok) {
        return;
    }
    if (::lseek(m_fd, rva, SEEK_SET) < 0 || !writeAll(data, size) ||
        ::lseek(m_fd, m_position, SEEK_SET) < 0) {
        m_ok = false;
    }
}

}  // namespace kestrova
