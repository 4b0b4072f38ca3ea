// Whole-file reads and the flock-serialised, atomic replacement of settings files.
#include "platform/ini/LockedFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

namespace kestrova {
namespace {

// Each retry means another writer replaced the file meanwhile, so the loop always makes
// progress overall; the bound only stops a path that some other program keeps swapping.
constexpr int kMaxLockAttempts = 10000;

// A settings file is a regular file or nothing: a FIFO must not block the open, a device
// must not become the controlling terminal, and a symbolic link is not followed.
constexpr int kOpenAsIs = O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;

std::optional<std::string> readAll(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) > kMaxLockedFileBytes) {
        return std::nullopt;
    }
    std::string content;
    char chunk[16 * 1024];
    for (off_t offset = 0;;) {
        const ssize_t n = pread(fd, chunk, sizeof chunk, offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            return content;
        }
        if (content.size() + static_cast<std::size_t>(n) > kMaxLockedFileBytes) {
            return std::nullopt;
        }
        content.append(chunk, static_cast<std::size_t>(n));
        offset += n;
    }
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool lockExclusive(int fd) {
    int rc = 0;
    do {
        rc = flock(fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool sameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Puts an empty regular file where a link, FIFO or device is, by renaming a new one over
// it (which replaces a link itself, never its target). The new file is made as a missing
// settings file is (0666 under the umask); its name carries the process id, so writers in
// other processes never share it.
bool replaceWithEmptyFile(const std::string& path) {
    const std::string fresh = path + ".new" + std::to_string(getpid());
    unlink(fresh.c_str());
    const bool made =
        FileDescriptor(
            ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666))
            .valid();
    if (made && rename(fresh.c_str(), path.c_str()) == 0) {
        return true;
    }
    unlink(fresh.c_str());
    return false;
}

}  // namespace

std::optional<std::string> readWholeFile(const std::string& path) {
    const FileDescriptor fd(::open(path.c_str(), kOpenAsIs));
    if (!fd.valid()) {
        return std::nullopt;
    }
    return readAll(fd.get());
}

std::optional<LockedFile> LockedFile::open(const std::string& path) {
    for (int attempt = 0; attempt < kMaxLockAttempts; ++attempt) {
        FileDescriptor fd(::open(path.c_str(), kOpenAsIs | O_CREAT, 0666));
        const bool link = !fd.valid() && errno == ELOOP;
        struct stat locked {};
        if (fd.valid() && fstat(fd.get(), &locked) != 0) {
            return std::nullopt;
        }
        if (link || (fd.valid() && !S_ISREG(locked.st_mode))) {
            // A link, FIFO or device is never written through: an empty file takes its
            // place, then the write goes on as for any other file.
            if (!replaceWithEmptyFile(path)) {
                return std::nullopt;
            }
            continue;
        }
        // A folder, a socket, or a folder without rights: no settings file can be there.
        if (!fd.valid() || !lockExclusive(fd.get())) {
            return std::nullopt;
        }
        struct stat current {};
        if (lstat(path.c_str(), &current) == 0 && sameInode(locked, current)) {
            return LockedFile(path, std::move(fd), locked.st_mode & 07777);
        }
    }
    return std::nullopt;
}

std::optional<std::string> LockedFile::read() const {
    return readAll(m_fd.get());
}

bool LockedFile::replace(std::string_view content) const {
    // Only the lock holder ever writes this name, so a leftover from a writer that died
    // half-way is simply replaced.
    const std::string temp = m_path + ".tmp";
    unlink(temp.c_str());
    FileDescriptor out(
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.valid()) {
        return false;
    }
    const bool written = fchmod(out.get(), m_mode) == 0 && writeAll(out.get(), content) &&
                         fsync(out.get()) == 0 && close(out.release()) == 0;
    if (!written || rename(temp.c_str(), m_path.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    // Makes the rename itself durable; the new content is already in place either way.
    const FileDescriptor folder(
        ::open(folderOf(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) {
        fsync(folder.get());
    }
    return true;
}

}  // namespace kestrova
