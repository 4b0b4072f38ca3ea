// Where the program keeps what it writes for its user: the settings file, the picture cache
// and the crash dump. Beside the executable, as designed, when the user may write there;
// otherwise (a package installed under /usr, owned by root) in the user's own state and
// cache folders, as Windows quietly redirects such writes into a per-user store.
//
//   kestrova::useProgramFolders(kestrova::decideProgramFolders());   // once, first in main
//   const std::wstring ini = kestrova::programFolders().settingsFile();
#pragma once

#include <string>

#include "util/Folders.h"

namespace kestrova {

struct ProgramFolders {
    // Why the files are where they are.
    enum class Reason {
        kProgramFolderWritable,
        kProgramFolderNotWritable,
        kSettingsFileOfAnotherUser,
    };

    Reason reason = Reason::kProgramFolderWritable;
    std::wstring programFolder;  // the executable's folder
    std::wstring exeName;        // the executable's file name
    std::wstring stateFolder;    // holds the settings file and the dump
    std::wstring cacheFolder;    // the picture cache itself (".../cache/image")

    std::wstring settingsFile() const { return stateFolder + L"/config.ini"; }
    std::wstring dumpFile() const { return stateFolder + L"/" + exeName + L".dmp"; }
    // One log line saying which folders are used, and why.
    std::string describe() const;
};

// Decides once where the files of the executable at exePath go:
// - beside it when its folder is writable by the effective user and "config.ini" there is
//   absent or the user's own;
// - otherwise the settings file and the dump in $XDG_STATE_HOME/kestrova (default
//   ~/.local/state/kestrova) and the picture cache in $XDG_CACHE_HOME/kestrova/cache/image
//   (default ~/.cache/...). Each of the two "kestrova" folders is created 0700 and used only
//   when it is a real folder of the user; where one cannot be had, its files stay beside the
//   executable, where writing them fails as it would have without this decision.
ProgramFolders decideProgramFolders(const std::wstring& exePath = getExePath());

// Makes folders the ones programFolders() answers with. Called once at start, before any
// other thread reads them.
void useProgramFolders(const ProgramFolders& folders);

// The folders in use: those handed to useProgramFolders, else the executable's own (so code
// run without the program's start-up, as in tests, keeps the designed places).
const ProgramFolders& programFolders();

}  // namespace kestrova
