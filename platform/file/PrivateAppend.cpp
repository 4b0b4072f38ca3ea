// The private append open. Another user who can write the shared temporary folder could
// otherwise plant a link named like our file (and have us append to, or create, a file of
// their choosing) or pre-create the file or folder and read what we write.
#include "platform/file/PrivateAppend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "util/FileDescriptor.h"

namespace kestrova {
namespace {

// The folder part of path ("." for a bare name, "/" for a name directly under the root)
// and the name after the last "/".
struct SplitPath {
    std::string folder;
    std::string name;
};

SplitPath splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {std::string(1, '.'), path};
    }
    return {path.substr(0, slash == 0 ? 1 : slash), path.substr(slash + 1)};
}

int openOwnFolder(const std::string& folder, int& error) {
    // O_NOFOLLOW refuses a link in the last component only; the parents are the system's
    // (the temporary folder) or the caller's choice.
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
        error = errno;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        error = errno;
        return -1;
    }
    if (st.st_uid != ::geteuid()) {
        error = EPERM;
        return -1;
    }
    return fd.release();
}

int checkOwnFile(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return errno;
    }
    if (!S_ISREG(st.st_mode)) {
        return EINVAL;
    }
    if (st.st_uid != ::geteuid()) {
        return EPERM;
    }
    // A second name would let whoever made it read along, or point us at another file.
    if (st.st_nlink != 1) {
        return EMLINK;
    }
    return 0;
}

}  // namespace

int openPrivateAppend(FILE** file, const std::string& path) {
    *file = nullptr;
    const SplitPath parts = splitPath(path);

    int error = 0;
    const FileDescriptor folder(openOwnFolder(parts.folder, error));
    if (folder.get() < 0) {
        errno = error;
        return error;
    }
    // O_NONBLOCK keeps a FIFO planted under the file's name from hanging the open; it has
    // no effect on a regular file's writes.
    FileDescriptor fd(::openat(folder.get(), parts.name.c_str(),
                               O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                               0600));
    if (fd.get() < 0) {
        error = errno;
        return error;
    }
    error = checkOwnFile(fd.get());
    if (error != 0) {
        errno = error;
        return error;
    }
    FILE* stream = ::fdopen(fd.get(), "a+");
    if (stream == nullptr) {
        return errno;
    }
    fd.release();
    *file = stream;
    return 0;
}

}  // namespace kestrova
