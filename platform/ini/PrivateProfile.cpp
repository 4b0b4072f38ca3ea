// The private-profile calls over ProfileText (the format) and LockedFile (the file).
#include "platform/ini/PrivateProfile.h"

#include <algorithm>
#include <cwchar>
#include <optional>
#include <string>

#include "platform/ini/LockedFile.h"
#include "platform/ini/ProfileText.h"
#include "util/TextConvert.h"

namespace {

std::size_t copyOut(const std::wstring& text, wchar_t* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    const std::size_t count = std::min(text.size(), size - 1);
    std::wmemcpy(buffer, text.data(), count);
    buffer[count] = L'\0';
    return count;
}

}  // namespace

std::size_t GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                     const wchar_t* defaultValue, wchar_t* buffer, std::size_t size,
                                     const wchar_t* path) {
    std::optional<std::string> value;
    if (section != nullptr && key != nullptr && path != nullptr) {
        if (const auto file = kestrova::readWholeFile(wideToAnsi(path))) {
            value = kestrova::findProfileValue(*file, kestrova::profileWideToUtf8(section),
                                               kestrova::profileWideToUtf8(key));
        }
    }
    if (value) {
        return copyOut(kestrova::profileUtf8ToWide(*value), buffer, size);
    }
    return copyOut(defaultValue != nullptr ? defaultValue : L"", buffer, size);
}

bool WritePrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                                const wchar_t* path) {
    if (section == nullptr || key == nullptr || value == nullptr || path == nullptr) {
        return false;
    }
    const std::string utf8Section = kestrova::profileWideToUtf8(section);
    const std::string utf8Key = kestrova::profileWideToUtf8(key);
    const std::string utf8Value = kestrova::profileWideToUtf8(value);
    if (!kestrova::isStorableProfileEntry(utf8Section, utf8Key, utf8Value)) {
        return false;
    }

    const auto file = kestrova::LockedFile::open(wideToAnsi(path));
    if (!file) {
        return false;
    }
    const auto content = file->read();
    if (!content) {
        return false;
    }
    return file->replace(kestrova::setProfileValue(*content, utf8Section, utf8Key, utf8Value));
}
