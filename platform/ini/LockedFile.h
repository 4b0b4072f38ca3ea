// Whole-file reads and atomic, lock-serialised replacement of small files.
//
// Writers take an exclusive flock on the file itself and then replace it by renaming a
// finished temporary copy over it. The rename leaves the lock on the old inode, so a writer
// that was waiting checks, once it holds the lock, that the locked inode is still the one at
// the path, and starts again on the new file otherwise. Readers take no lock: they always
// see either the old or the new file, whole.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "util/FileDescriptor.h"

namespace kestrova {

// Files larger than this are refused rather than read into memory.
constexpr std::size_t kMaxLockedFileBytes = 16 * 1024 * 1024;

// The whole content of the regular file at path; nothing when it cannot be opened or read,
// is not a regular file (a symbolic link is not followed, a FIFO does not block), or is
// larger than kMaxLockedFileBytes.
std::optional<std::string> readWholeFile(const std::string& path);

// The file at a path, opened (created empty when missing) and held under an exclusive
// lock until destruction. Only a regular file is ever written: a symbolic link, FIFO or
// device at the path is first replaced by an empty file (never written through, a link's
// target never created); a folder there cannot be replaced, and the open fails.
class LockedFile {
public:
    static std::optional<LockedFile> open(const std::string& path);

    // The content as it is under the lock.
    std::optional<std::string> read() const;

    // Replaces the file's content atomically: a temporary file beside it is written,
    // flushed to disk and renamed over it, keeping the file's permission bits. On failure
    // the file is left as it was.
    bool replace(std::string_view content) const;

private:
    LockedFile(std::string path, FileDescriptor fd, mode_t mode)
        : m_path(std::move(path)), m_fd(std::move(fd)), m_mode(mode) {}

    std::string m_path;
    FileDescriptor m_fd;
    mode_t m_mode = 0;
};

}  // namespace kestrova
