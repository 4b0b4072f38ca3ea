// The current folder and the work folder.
#include "app/WorkFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "util/Folders.h"
#include "util/PrivateFolder.h"
#include "util/TextConvert.h"

namespace kestrova {

namespace {

constexpr wchar_t kProductWord[] = L"Kestrova";
constexpr mode_t kOwnerOnly = 0700;

// "kestrova-<uid>" in the shared folder. The name is known in advance, so another user
// may have taken it: it is used only when it is a real folder of this user. The shared
// folder's sticky bit keeps anyone else from swapping it afterwards.
std::optional<std::string> privateFolderIn(const std::string& shared) {
    std::string folder = shared;
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    folder += "kestrova-" + std::to_string(::geteuid());
    if (!makePrivateFolder(folder)) {
        return std::nullopt;
    }
    return folder;
}

// A relative XAUTHORITY (the display's cookie file) names a file in the folder the
// program was started in; made absolute, it still does after the change of folder, for
// the display and for the browser the link starts.
void keepXauthority() {
    const char* value = std::getenv("XAUTHORITY");
    if (value == nullptr || value[0] == '\0' || value[0] == '/') {
        return;
    }
    std::unique_ptr<char, decltype(&std::free)> start(::getcwd(nullptr, 0), &std::free);
    if (start) {
        const std::string absolute = std::string(start.get()) + "/" + value;
        ::setenv("XAUTHORITY", absolute.c_str(), 1);
    }
}

}  // namespace

void enterExeDir() {
    keepXauthority();
    const std::string folder = wideToAnsi(getExeDir());
    // No other relative path is used afterwards, so a failure changes nothing that matters.
    [[maybe_unused]] const int ignored = ::chdir(folder.c_str());
}

std::wstring temporaryFolder(const std::string& shared) {
    std::optional<std::string> folder = absoluteVariable("TMPDIR");
    if (!folder) {
        folder = absoluteVariable("XDG_RUNTIME_DIR");
    }
    if (!folder) {
        folder = privateFolderIn(shared);
    }
    // Like a failed GetTempPathW: the work folder's bare name is then relative.
    if (!folder) {
        return L"";
    }
    std::wstring wide = ansiToWide(*folder);
    if (wide.back() != L'/') {
        wide += L'/';
    }
    return wide;
}

std::wstring prepareWorkFolder(const std::string& shared) {
    const std::wstring folder = temporaryFolder(shared) + kProductWord;
    const std::string narrow = wideToAnsi(toLongPath(folder));
    // Created only when nothing is there: an existing name, a link included, is left for
    // the log's own open to accept or refuse.
    struct stat info {};
    if (::lstat(narrow.c_str(), &info) != 0) {
        ::mkdir(narrow.c_str(), kOwnerOnly);
    }
    return folder;
}

}  // namespace kestrova
