// Opening a file for appending in a folder that other users can reach (the shared
// temporary folder): the stand-in for the C runtime's "a+" open of the log file.
//
//   FILE* file = nullptr;
//   if (int error = kestrova::openPrivateAppend(&file, "/tmp/Kestrova/app.log")) { ... }
#pragma once

#include <cstdio>
#include <string>

namespace kestrova {

// Opens path for appending and reading ("a+"), creating it with mode 0600 when missing.
// Refused, with the error code returned (and left in errno):
// - the folder holding the file is not a folder, a symbolic link to one included (ENOTDIR),
//   or is owned by another user (EPERM);
// - the file itself is a symbolic link (ELOOP), not a regular file (EINVAL), owned by another
//   user (EPERM) or has further hard links (EMLINK).
// Both checks are made on the descriptors that are then used, so nothing can be swapped in
// between the check and the use. Returns 0 with *file set on success; *file stays null
// otherwise.
int openPrivateAppend(FILE** file, const std::string& path);

}  // namespace kestrova
