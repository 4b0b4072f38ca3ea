// Remembers when an advert was last shown: "last_adv_time" in section "CONFIG" of
// "config.ini", seconds since 1970 in decimal. The file lies beside the executable, or in
// the user's state folder when the executable's folder is not the user's to write
// (util/ProgramFolders.h).
#pragma once

#include <string>

// The settings file's full path: the state folder (as designed, the executable's folder) +
// "/config.ini".
std::wstring getConfigPath();

// The stored value as text, unchecked; "0" when the file or the key is missing.
std::wstring readLastAdvTime(const std::wstring& path);

// Stores the current time; a file that cannot be written keeps its old value.
void writeLastAdvTime(const std::wstring& path);
