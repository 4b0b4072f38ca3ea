// The process's folders: the executable's folder as the current folder, and the work
// folder that holds the log, under the temporary folder.
//
//   kestrova::enterExeDir();
//   CLog::GetInstance()->Init(wideToAnsi(kestrova::prepareWorkFolder()).c_str());
#pragma once

#include <string>

namespace kestrova {

// Makes the executable's folder the current folder; a failure is ignored. A relative
// XAUTHORITY is made absolute first, so the display still opens.
void enterExeDir();

// The temporary folder with a trailing "/": $TMPDIR when it is an absolute path, else
// "/tmp/".
std::wstring temporaryFolder();

// temporaryFolder() + "Kestrova", created (last level only) with mode 0700 when missing.
// The folder is shared ground in /tmp: whether it is a real folder of this user is decided
// by the log file's open, on the descriptor it then uses, not here.
std::wstring prepareWorkFolder();

}  // namespace kestrova
