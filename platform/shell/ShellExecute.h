// ShellExecuteW as the window uses it: "open" of "explorer.exe" with a quoted link opens
// the link with the desktop's opener (xdg-open). A link arrives in an unauthenticated
// answer, so only web links are ever handed over: nothing else may start a local
// program or open a local file.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/ui/UIDefs.h"

// Results above 32 mean success, as on Windows; the codes below are the failures.
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_ACCESSDENIED = 5;
inline constexpr int SE_ERR_NOASSOC = 31;

// Only operation "open" (or null) of file "explorer.exe" (any case) is supported;
// parameters hold the link, between double quotes or bare. showCmd and directory are
// accepted and unused. Returns SE_ERR_NOASSOC for anything else, SE_ERR_ACCESSDENIED
// for a link that is not a web link, SE_ERR_FNF when the opener cannot be started.
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, int showCmd);

namespace kestrova {

// True for an http or https link (scheme in any letter case, followed by "//" and
// something more) without control characters.
bool isWebLink(std::wstring_view link);

// The link between the double quotes of explorer's parameters. A closing quote may be
// missing (the quoted text was cut to its buffer); unquoted text is taken whole.
std::wstring_view unquoteParameters(std::wstring_view parameters);

// Hands an accepted link, in the locale's narrow encoding, to the desktop. The default
// starts "xdg-open LINK". Tests install a recorder. Returns the previous launcher.
using LinkLauncher = std::function<bool(const std::string& link)>;
LinkLauncher setLinkLauncher(LinkLauncher launcher);

}  // namespace kestrova
