// The dump's temporary file and its rename onto the dump's name, with system calls only.
#include "platform/crash/DumpFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kestrova {
namespace {

constexpr char kTemporarySuffix[] = ".tmp";

// Appends the decimal digits of value; false when they do not fit.
bool appendNumber(char* out, size_t capacity, size_t& length, unsigned long value) {
    char digits[24];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (length + count >= capacity) {
        return false;
    }
    while (count > 0) {
        out[length++] = digits[--count];
    }
    return true;
}

bool append(char* out, size_t capacity, size_t& length, const char* text) {
    const size_t size = std::strlen(text);
    if (length + size >= capacity) {
        return false;
    }
    std::memcpy(out + length, text, size);
    length += size;
    return true;
}

int openNew(const char* path) {
    return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

}  // namespace

bool createDumpFile(const char* path, DumpFile& file) {
    file.fd = -1;
    file.path = path;
    char* name = file.temporaryPath;
    size_t length = 0;
    // The process id keeps two crashing instances of the program apart.
    const bool named =
        append(name, kMaxDumpPath, length, path) && append(name, kMaxDumpPath, length, ".") &&
        appendNumber(name, kMaxDumpPath, length, static_cast<unsigned long>(::getpid())) &&
        append(name, kMaxDumpPath, length, kTemporarySuffix);
    if (!named) {
        name[0] = '\0';
        return false;
    }
    name[length] = '\0';
    file.fd = openNew(name);
    // A leftover of an earlier process with the same id, killed while it wrote; unlink
    // removes a link itself, never what it points to.
    if (file.fd < 0 && errno == EEXIST && ::unlink(name) == 0) {
        file.fd = openNew(name);
    }
    if (file.fd < 0) {
        name[0] = '\0';
        return false;
    }
    return true;
}

bool commitDumpFile(DumpFile& file) {
    if (file.fd < 0) {
        return false;
    }
    const bool flushed = ::fsync(file.fd) == 0;
    const bool closed = ::close(file.fd) == 0;
    file.fd = -1;
    if (flushed && closed && ::rename(file.temporaryPath, file.path) == 0) {
        file.temporaryPath[0] = '\0';
        return true;
    }
    discardDumpFile(file);
    return false;
}

void discardDumpFile(DumpFile& file) {
    if (file.fd >= 0) {
        ::close(file.fd);
        file.fd = -1;
    }
    if (file.temporaryPath[0] != '\0') {
        ::unlink(file.temporaryPath);
        file.temporaryPath[0] = '\0';
    }
}

}  // namespace kestrova
