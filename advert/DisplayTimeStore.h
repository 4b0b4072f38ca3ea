// Remembers when an advert was last shown: "last_adv_time" in section "CONFIG" of
// "config.ini" beside the executable, seconds since 1970 in decimal.
#pragma once

#include <string>

// The settings file's full path: the executable's folder + "/config.ini".
std::wstring getConfigPath();

// The stored value as text, unchecked; "0" when the file or the key is missing.
std::wstring readLastAdvTime(const std::wstring& path);

// Stores the current time; a file that cannot be written keeps its old value.
void writeLastAdvTime(const std::wstring& path);
