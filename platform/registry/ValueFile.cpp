// Value files are plain text an administrator writes with echo, so they are read
// defensively: opened without blocking (a FIFO must not hang the program), checked to be
// regular files, and bounded in size.
#include "platform/registry/ValueFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utf8.h>

#include <cerrno>
#include <iterator>

#include "util/FileDescriptor.h"

namespace kestrova::registry {
namespace {

LONG errorFromErrno(int error) {
    return (error == EACCES || error == EPERM) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
}

// Reads up to one byte past the limit, so an oversized file is seen even when it grows.
bool readBounded(int fd, std::string& bytes) {
    char chunk[4096];
    while (static_cast<long>(bytes.size()) <= kMaxValueFileBytes) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    return true;
}

}  // namespace

ValueText readValueFile(const std::string& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        return {errorFromErrno(errno), {}};
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {ERROR_FILE_NOT_FOUND, {}};
    }
    if (info.st_size > kMaxValueFileBytes) {
        return {ERROR_INVALID_DATA, {}};
    }
    std::string bytes;
    if (!readBounded(file.get(), bytes)) {
        return {errorFromErrno(errno), {}};
    }
    if (static_cast<long>(bytes.size()) > kMaxValueFileBytes) {
        return {ERROR_INVALID_DATA, {}};
    }
    if (!bytes.empty() && bytes.back() == '\n') {
        bytes.pop_back();
    }
    std::string valid;
    utf8::replace_invalid(bytes.begin(), bytes.end(), std::back_inserter(valid));
    ValueText value;
    utf8::utf8to32(valid.begin(), valid.end(), std::back_inserter(value.text));
    return value;
}

}  // namespace kestrova::registry
