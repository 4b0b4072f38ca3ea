// The process's folders: the executable's folder as the current folder, and the work
// folder that holds the log, under the user's own temporary folder.
//
//   kestrova::enterExeDir();
//   CLog::GetInstance()->Init(wideToAnsi(kestrova::prepareWorkFolder()).c_str());
#pragma once

#include <string>

namespace kestrova {

// The folder every user shares, where a user without a temporary folder of their own gets
// a private one. Tests pass a folder of their own in its place; the program never does.
constexpr char kSharedTemporaryFolder[] = "/tmp/";

// Makes the executable's folder the current folder; a failure is ignored. A relative
// XAUTHORITY is made absolute first, so the display still opens.
void enterExeDir();

// The user's temporary folder with a trailing "/": $TMPDIR when it is an absolute path,
// else $XDG_RUNTIME_DIR when it is one, else "kestrova-<uid>" in the shared folder, created
// with mode 0700 when missing and used only when it is a real folder owned by the user.
// Empty when none of them can be had: the work folder then lies in the current folder.
std::wstring temporaryFolder(const std::string& shared = kSharedTemporaryFolder);

// temporaryFolder() + "Kestrova", created (last level only) with mode 0700 when missing.
// Whether it is a real folder of this user is decided by the log file's open, on the
// descriptor it then uses, not here.
std::wstring prepareWorkFolder(const std::string& shared = kSharedTemporaryFolder);

}  // namespace kestrova
