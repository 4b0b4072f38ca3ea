// A user's own folders: created private, accepted only when they are that user's.
#include "util/PrivateFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace kestrova {

namespace {

constexpr mode_t kOwnerOnly = 0700;

// mkdir with any missing parent; an existing name counts as made (it is judged afterwards).
void makeFolderChain(const std::string& folder) {
    if (::mkdir(folder.c_str(), kOwnerOnly) == 0 || errno != ENOENT) {
        return;
    }
    const std::size_t slash = folder.rfind('/');
    if (slash == 0 || slash == std::string::npos) {
        return;
    }
    makeFolderChain(folder.substr(0, slash));
    ::mkdir(folder.c_str(), kOwnerOnly);
}

}  // namespace

std::optional<std::string> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    return std::string(value);
}

std::optional<std::string> homeFolder() {
    if (std::optional<std::string> home = absoluteVariable("HOME")) {
        return home;
    }
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
        return std::nullopt;
    }
    return std::string(found->pw_dir);
}

bool makePrivateFolder(const std::string& path) {
    // A trailing "/" would make lstat follow a link in the folder's place.
    const std::string folder = path.substr(0, path.find_last_not_of('/') + 1);
    if (folder.empty()) {
        return false;
    }
    makeFolderChain(folder);
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid();
}

}  // namespace kestrova
