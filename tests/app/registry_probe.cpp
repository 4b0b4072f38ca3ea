// Runs the registry lookups on a given hive as another user would:
//   registry_probe HIVE   prints the result of opening the product key for all access, a
//                         space, and the window caption (UTF-8)
#include <utf8.h>

#include <cstdio>
#include <iterator>
#include <string>

#include "app/RegSettings.h"
#include "platform/registry/RegistryRoot.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: registry_probe HIVE\n", stderr);
        return 2;
    }
    kestrova::registry::ScopedMachineRoot root(argv[1]);
    HKEY key = nullptr;
    const LONG opened =
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestrova", 0, KEY_ALL_ACCESS, &key);
    RegCloseKey(key);
    const std::wstring caption = getWindowCaption();
    std::string text = std::to_string(opened) + " ";
    utf8::utf32to8(caption.begin(), caption.end(), std::back_inserter(text));
    std::fputs(text.c_str(), stdout);
    return 0;
}
