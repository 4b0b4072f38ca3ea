// The registry calls over folders and files. Key paths are checked component by component
// so that no key name can reach outside its hive.
#include "platform/registry/Registry.h"

#include <sys/stat.h>
#include <unistd.h>
#include <utf8.h>

#include <fcntl.h>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <optional>

#include "platform/registry/KeyTable.h"
#include "platform/registry/ValueFile.h"

using kestrova::registry::KeyEntry;

namespace {

constexpr REGSAM kWriteRights = KEY_ALL_ACCESS & ~KEY_READ;

// A key or value name as a single path component in UTF-8, or nothing when it cannot be
// one: empty, "." or "..", or holding "/" or a character that is not Unicode.
std::optional<std::string> pathComponent(std::wstring_view name) {
    if (name.empty() || name == L"." || name == L".." || name.find(L'/') != name.npos) {
        return std::nullopt;
    }
    std::string out;
    try {
        utf8::utf32to8(name.begin(), name.end(), std::back_inserter(out));
    } catch (const utf8::exception&) {
        return std::nullopt;
    }
    return out;
}

// The folder of a sub-key below a base folder; an empty or null sub-key is the base itself.
std::optional<std::string> keyFolder(const std::string& base, const wchar_t* subKey) {
    std::string folder = base;
    if (subKey == nullptr || *subKey == L'\0') {
        return folder;
    }
    std::wstring_view rest(subKey);
    while (true) {
        const std::size_t cut = rest.find(L'\\');
        const auto component = pathComponent(rest.substr(0, cut));
        if (!component) {
            return std::nullopt;
        }
        folder += '/';
        folder += *component;
        if (cut == rest.npos) {
            return folder;
        }
        rest.remove_prefix(cut + 1);
    }
}

LONG errorFromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        default:
            return ERROR_FILE_NOT_FOUND;
    }
}

// The rights asked for, checked against the folder's permissions for this process.
LONG checkAccess(const std::string& folder, REGSAM access) {
    int mode = R_OK | X_OK;
    if ((access & kWriteRights) != 0) {
        mode |= W_OK;
    }
    return ::faccessat(AT_FDCWD, folder.c_str(), mode, AT_EACCESS) == 0 ? ERROR_SUCCESS
                                                                        : errorFromErrno(errno);
}

LONG openFolder(const std::string& folder, REGSAM access, HKEY* result) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return errorFromErrno(errno);
    }
    if (!S_ISDIR(info.st_mode)) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (const LONG denied = checkAccess(folder, access); denied != ERROR_SUCCESS) {
        return denied;
    }
    *result = kestrova::registry::addKey(KeyEntry{folder, access});
    return ERROR_SUCCESS;
}

// "mkdir -p": creates every missing folder of the absolute path; *created tells whether the
// last one was new.
LONG makeFolderChain(const std::string& folder, bool* created) {
    *created = false;
    for (std::size_t cut = folder.find('/', 1);; cut = folder.find('/', cut + 1)) {
        const std::string level = folder.substr(0, cut);
        if (::mkdir(level.c_str(), 0755) == 0) {
            *created = true;
        } else if (errno == EEXIST) {
            *created = false;
        } else {
            return errorFromErrno(errno);
        }
        if (cut == std::string::npos) {
            return ERROR_SUCCESS;
        }
    }
}

}  // namespace

LONG RegOpenKeyExW(HKEY hKey, const wchar_t* lpSubKey, DWORD ulOptions, REGSAM samDesired,
                   HKEY* phkResult) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    KeyEntry base;
    if (!kestrova::registry::findKey(hKey, base)) {
        return ERROR_INVALID_HANDLE;
    }
    if (ulOptions != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    const auto folder = keyFolder(base.folder, lpSubKey);
    if (!folder) {
        return ERROR_FILE_NOT_FOUND;
    }
    return openFolder(*folder, samDesired, phkResult);
}

LONG RegCreateKeyExW(HKEY hKey, const wchar_t* lpSubKey, DWORD Reserved, wchar_t* lpClass,
                     DWORD dwOptions, REGSAM samDesired, const void* lpSecurityAttributes,
                     HKEY* phkResult, DWORD* lpdwDisposition) {
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *phkResult = nullptr;
    KeyEntry base;
    if (!kestrova::registry::findKey(hKey, base)) {
        return ERROR_INVALID_HANDLE;
    }
    if (Reserved != 0 || lpClass != nullptr || dwOptions != REG_OPTION_NON_VOLATILE ||
        lpSecurityAttributes != nullptr || base.folder.empty() || base.folder[0] != '/') {
        return ERROR_INVALID_PARAMETER;
    }
    const auto folder = keyFolder(base.folder, lpSubKey);
    if (!folder) {
        return ERROR_INVALID_PARAMETER;
    }
    bool created = false;
    if (const LONG failed = makeFolderChain(*folder, &created); failed != ERROR_SUCCESS) {
        return failed;
    }
    const LONG opened = openFolder(*folder, samDesired, phkResult);
    if (opened == ERROR_SUCCESS && lpdwDisposition != nullptr) {
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return opened;
}

LONG RegQueryValueExW(HKEY hKey, const wchar_t* lpValueName, DWORD* lpReserved, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData) {
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    KeyEntry key;
    if (!kestrova::registry::findKey(hKey, key)) {
        return ERROR_INVALID_HANDLE;
    }
    if ((key.access & KEY_QUERY_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    const auto name = pathComponent(lpValueName != nullptr ? lpValueName : L"");
    if (!name) {
        return ERROR_FILE_NOT_FOUND;
    }
    const auto value = kestrova::registry::readValueFile(key.folder + "/" + *name);
    if (value.result != ERROR_SUCCESS) {
        return value.result;
    }
    if (lpType != nullptr) {
        *lpType = REG_SZ;
    }
    const auto needed = static_cast<DWORD>(value.text.size() * sizeof(wchar_t));
    if (lpData == nullptr) {
        if (lpcbData != nullptr) {
            *lpcbData = needed;
        }
        return ERROR_SUCCESS;
    }
    if (*lpcbData < needed) {
        *lpcbData = needed;
        return ERROR_MORE_DATA;
    }
    std::memcpy(lpData, value.text.data(), needed);
    *lpcbData = needed;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
    if (kestrova::registry::isHive(hKey)) {
        return ERROR_SUCCESS;
    }
    return kestrova::registry::removeKey(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
