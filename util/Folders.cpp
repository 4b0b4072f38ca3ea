// Folder functions over wide paths: the executable's folder, folder chains and trees.
//
// Wide paths become narrow through the locale's encoding, the one the kernel's file names
// are read in. Tree deletion works relative to open folder descriptors and never follows a
// symbolic link, so a link inside the tree (or one swapped in while it is being deleted)
// can never lead the removal outside the tree.
#include "util/Folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "util/PathCanonical.h"
#include "util/TextConvert.h"

namespace {

// Paths longer than this are not a real executable's; the limit keeps the growth bounded.
constexpr std::size_t kMaxExePath = 64 * 1024;

std::string readExeLink() {
    std::string link(256, '\0');
    while (link.size() <= kMaxExePath) {
        const ssize_t n = readlink("/proc/self/exe", link.data(), link.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<std::size_t>(n) < link.size()) {
            link.resize(static_cast<std::size_t>(n));
            return link;
        }
        link.resize(link.size() * 2);
    }
    return {};
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool isFolderEntry(int parentFd, const dirent& entry) {
    if (entry.d_type != DT_UNKNOWN) {
        return entry.d_type == DT_DIR;
    }
    struct stat st {};
    return fstatat(parentFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// Removes everything inside the folder open as folderFd (which it takes over). Entries that
// cannot be removed stay; the caller's final rmdir then fails, as a partial delete should.
void emptyFolder(int folderFd) {
    const DirHandle dir(fdopendir(folderFd));
    if (!dir) {
        close(folderFd);
        return;
    }
    const int parentFd = dirfd(dir.get());
    while (const dirent* entry = readdir(dir.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        if (isFolderEntry(parentFd, *entry)) {
            // O_NOFOLLOW: if a link took the folder's place since the listing, this fails
            // and the link is unlinked below like any other file.
            const int childFd =
                openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (childFd >= 0) {
                emptyFolder(childFd);
                unlinkat(parentFd, name, AT_REMOVEDIR);
                continue;
            }
        }
        unlinkat(parentFd, name, 0);
    }
}

}  // namespace

std::wstring getExePath() {
    const std::string exe = readExeLink();
    return exe.empty() ? std::wstring() : ansiToWide(kestrova::removeDotSegments(exe));
}

std::wstring getExeDir() {
    const std::wstring exe = getExePath();
    if (exe.empty()) {
        return L".";
    }
    const std::size_t slash = exe.rfind(L'/');
    return slash == std::wstring::npos ? exe : exe.substr(0, slash == 0 ? 1 : slash);
}

std::wstring toLongPath(const std::wstring& path) {
    return path;
}

bool createDirChain(const std::wstring& path) {
    std::wstring wide = path;
    // Swapped while still wide: in some multi-byte encodings the byte of "\" can be the
    // second half of another character.
    std::replace(wide.begin(), wide.end(), L'\\', L'/');
    std::string chain = wideToAnsi(wide);
    if (chain.empty()) {
        return false;
    }
    if (chain.back() != '/') {
        chain.push_back('/');
    }
    for (std::size_t slash = chain.find('/'); slash != std::string::npos;
         slash = chain.find('/', slash + 1)) {
        if (slash == 0) {
            continue;
        }
        const std::string prefix = chain.substr(0, slash);
        if (isDirectory(prefix)) {
            continue;
        }
        // Another process may create the same level between the test and the mkdir.
        if (mkdir(prefix.c_str(), 0777) != 0 && !(errno == EEXIST && isDirectory(prefix))) {
            return false;
        }
    }
    return true;
}

bool deleteDirTree(const std::wstring& path) {
    std::string folder = wideToAnsi(path);
    // A trailing "/" would make the kernel follow a link that O_NOFOLLOW is meant to stop.
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderFd < 0) {
        // Not a listable folder: a file or a link goes, as a file.
        unlink(folder.c_str());
        return false;
    }
    emptyFolder(folderFd);
    rmdir(folder.c_str());
    return true;
}
