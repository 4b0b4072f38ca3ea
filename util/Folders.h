// Folder and path functions over wide paths.
#pragma once

#include <string>

// The running executable's full path ("." and ".." segments removed); empty when unknown.
std::wstring getExePath();

// The folder of the running executable, without a trailing separator.
std::wstring getExeDir();

// Linux has no long-path prefix: the path comes back unchanged.
std::wstring toLongPath(const std::wstring& path);

// Creates the folder and every missing parent ("/" or "\" accepted as separators).
// False for an empty path or at the first level that cannot be created.
bool createDirChain(const std::wstring& path);

// Deletes the folder and everything in it without following symbolic links. True when the
// folder could be listed, whether or not every removal inside succeeded.
bool deleteDirTree(const std::wstring& path);
