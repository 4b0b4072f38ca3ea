// The dump's file. A dump is written under a temporary name beside its own and takes the
// dump's name only once it is complete and on disk, so that the name never shows a partial
// dump (to a crash collector watching the folder, or a user copying it) and an earlier dump
// stays until a whole one replaces it. Everything here is async-signal-safe.
//
//   kestrova::DumpFile file;
//   if (kestrova::createDumpFile(path, file)) {
//       bool whole = MiniDumpWriteDump(file.fd, exception) && kestrova::commitDumpFile(file);
//       if (!whole) kestrova::discardDumpFile(file);
//   }
#pragma once

#include <cstddef>

namespace kestrova {

// Room for the dump's path and the temporary suffix (".<pid>.tmp").
constexpr size_t kMaxDumpPath = 4096 + 32;

struct DumpFile {
    int fd = -1;
    // Set by createDumpFile: the path it was given, and the temporary file's.
    const char* path = nullptr;
    char temporaryPath[kMaxDumpPath] = {};
};

// Creates the temporary file "<path>.<pid>.tmp": a new file (a leftover of the same name is
// removed first), never through a symbolic link, readable and writable by the owner only.
// False when it cannot be made (no rights, a missing folder, a path too long).
bool createDumpFile(const char* path, DumpFile& file);

// Flushes the temporary file to disk, closes it and renames it onto the dump's path. False
// when any step fails; the temporary file is then removed and an earlier dump is left as
// it was.
bool commitDumpFile(DumpFile& file);

// Closes and removes the temporary file of an incomplete dump.
void discardDumpFile(DumpFile& file);

}  // namespace kestrova
