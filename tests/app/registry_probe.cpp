// Runs the registry lookups on a given hive and prints the outcome, so that a test can run
// them as another user:
//   registry_probe caption HIVE    prints the window caption (UTF-8)
//   registry_probe open-all HIVE   prints the result of opening the product key for all access
#include <utf8.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <string_view>

#include "app/RegSettings.h"
#include "platform/registry/RegistryRoot.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: registry_probe caption|open-all HIVE\n", stderr);
        return 2;
    }
    kestrova::registry::ScopedMachineRoot root(argv[2]);
    const std::string_view mode = argv[1];
    if (mode == "caption") {
        const std::wstring caption = getWindowCaption();
        std::string text;
        utf8::utf32to8(caption.begin(), caption.end(), std::back_inserter(text));
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    if (mode == "open-all") {
        HKEY key = nullptr;
        const LONG result =
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestrova", 0, KEY_ALL_ACCESS, &key);
        RegCloseKey(key);
        std::printf("%ld", static_cast<long>(result));
        return 0;
    }
    return 2;
}
