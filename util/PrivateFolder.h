// Folders that belong to one user alone, and the environment variables that name them.
// Every folder the program keeps a user's files in passes through here: the work folder
// under the shared temporary folder and the per-user state and cache folders.
//
//   if (kestrova::makePrivateFolder(folder)) { ... the user's own, safe to write ... }
#pragma once

#include <optional>
#include <string>

namespace kestrova {

// The variable's value when it is set to an absolute path. A relative value is ignored, as
// the XDG base directory rules require, and so is an empty one.
std::optional<std::string> absoluteVariable(const char* name);

// The user's home: $HOME when absolute, else the password database's entry for the
// effective user when that is absolute; nothing otherwise.
std::optional<std::string> homeFolder();

// Creates folder with mode 0700 when missing, and every missing parent with 0700 too. True
// only when folder is then a real folder (not a link) owned by the effective user: a name
// another user took first, or a link put in its place, is never used.
bool makePrivateFolder(const std::string& folder);

}  // namespace kestrova
