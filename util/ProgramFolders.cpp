// The decision between the executable's folder and the user's own folders, and the folders
// the program uses once it is made.
#include "util/ProgramFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "util/PrivateFolder.h"
#include "util/TextConvert.h"

namespace kestrova {

namespace {

constexpr wchar_t kCacheInFolder[] = L"/cache/image";
constexpr char kProductFolder[] = "/kestrova";

// The folders as designed: everything beside the executable.
ProgramFolders besideTheExecutable(const std::wstring& exePath) {
    const std::size_t slash = exePath.rfind(L'/');
    ProgramFolders folders;
    folders.programFolder = slash == std::wstring::npos ? L"."
                            : slash == 0                ? L"/"
                                                        : exePath.substr(0, slash);
    folders.exeName = slash == std::wstring::npos ? exePath : exePath.substr(slash + 1);
    folders.stateFolder = folders.programFolder;
    folders.cacheFolder = folders.programFolder + kCacheInFolder;
    return folders;
}

// Checked with the effective user's rights, the ones every write of the program will have.
bool writableFolder(const std::string& folder) {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// A settings file of another user (left by another user's run of a shared copy) is not
// taken over: every user gets their own display time.
bool settingsFileOfAnotherUser(const std::string& file) {
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0 && info.st_uid != ::geteuid();
}

// "<base>/kestrova", base being the variable's value when absolute, else home + fallback;
// made private. Nothing when there is no such folder of the user's own.
std::optional<std::wstring> userFolder(const char* variable, const char* underHome) {
    std::optional<std::string> base = absoluteVariable(variable);
    if (!base) {
        const std::optional<std::string> home = homeFolder();
        if (!home) {
            return std::nullopt;
        }
        base = *home + underHome;
    }
    const std::string folder = *base + kProductFolder;
    if (!makePrivateFolder(folder)) {
        return std::nullopt;
    }
    return ansiToWide(folder);
}

// The folder as the log shows it; one that stayed beside the executable says so.
std::string shown(const std::wstring& folder, const std::wstring& besideIt) {
    const std::string text = wideToAnsi(folder);
    return folder == besideIt ? text + " (no folder of the user's own could be had)" : text;
}

ProgramFolders& inUse() {
    static ProgramFolders folders = besideTheExecutable(getExePath());
    return folders;
}

}  // namespace

std::string ProgramFolders::describe() const {
    const std::string program = wideToAnsi(programFolder);
    if (reason == Reason::kProgramFolderWritable) {
        return "folders: settings, picture cache and dump beside the program in " + program;
    }
    const ProgramFolders designed = besideTheExecutable(programFolder + L"/" + exeName);
    const std::string why = reason == Reason::kProgramFolderNotWritable
                                ? program + " is not writable"
                                : "config.ini in " + program + " is another user's";
    return "folders: " + why + ": settings and dump in " +
           shown(stateFolder, designed.stateFolder) + ", picture cache in " +
           shown(cacheFolder, designed.cacheFolder);
}

ProgramFolders decideProgramFolders(const std::wstring& exePath) {
    ProgramFolders folders = besideTheExecutable(exePath);
    const std::string program = wideToAnsi(folders.programFolder);
    if (!writableFolder(program)) {
        folders.reason = ProgramFolders::Reason::kProgramFolderNotWritable;
    } else if (settingsFileOfAnotherUser(wideToAnsi(folders.settingsFile()))) {
        folders.reason = ProgramFolders::Reason::kSettingsFileOfAnotherUser;
    } else {
        return folders;
    }
    if (const std::optional<std::wstring> state = userFolder("XDG_STATE_HOME", "/.local/state")) {
        folders.stateFolder = *state;
    }
    if (const std::optional<std::wstring> cache = userFolder("XDG_CACHE_HOME", "/.cache")) {
        folders.cacheFolder = *cache + kCacheInFolder;
    }
    return folders;
}

void useProgramFolders(const ProgramFolders& folders) {
    inUse() = folders;
}

const ProgramFolders& programFolders() {
    return inUse();
}

}  // namespace kestrova
