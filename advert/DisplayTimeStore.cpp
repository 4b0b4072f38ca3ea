// The display-time store over the settings-file calls: the path the program's folders give,
// the stored value read back as it is, and the current time written in decimal.
#include "advert/DisplayTimeStore.h"

#include <charconv>
#include <ctime>

#include "platform/ini/PrivateProfile.h"
#include "util/ProgramFolders.h"
#include "util/TextConvert.h"

namespace {

constexpr const wchar_t* kSection = L"CONFIG";
constexpr const wchar_t* kKey = L"last_adv_time";

}  // namespace

std::wstring getConfigPath() {
    return kestrova::programFolders().settingsFile();
}

std::wstring readLastAdvTime(const std::wstring& path) {
    wchar_t value[256] = {};
    GetPrivateProfileStringW(kSection, kKey, L"0", value, 256, path.c_str());
    return value;
}

void writeLastAdvTime(const std::wstring& path) {
    char digits[64] = {};
    const long long now = std::time(nullptr);
    std::to_chars(digits, digits + sizeof digits - 1, now);
    // A settings file that cannot be written keeps its old value; nothing else is to be done.
    WritePrivateProfileStringW(kSection, kKey, ansiToWide(digits).c_str(), path.c_str());
}
