// The key is opened for reading only: asking for every right, as an administrator's tools
// would, fails for a normal user and would hide the configured name from exactly the users
// the pop-up runs for.
#include "app/RegSettings.h"

namespace {

constexpr const wchar_t* kKeyPath = L"SOFTWARE\\Kestrova";
constexpr const wchar_t* kValueName = L"appname";
constexpr const wchar_t* kDefaultName = L"Kestrova";
constexpr const wchar_t* kCaptionSuffix = L"升级程序";

// Names longer than this are not read: they count as absent.
constexpr DWORD kMaxNameChars = 64;

}  // namespace

CRegSettings::~CRegSettings() {
    if (m_hKey != nullptr) {
        RegCloseKey(m_hKey);
        m_hKey = nullptr;
    }
}

std::wstring getAppName() {
    // Twice the longest name read, and zeroed, so the text is always terminated.
    wchar_t buffer[2 * kMaxNameChars] = {};
    CRegSettings settings;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, KEY_READ, &settings.m_hKey) !=
        ERROR_SUCCESS) {
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ, nullptr, &settings.m_hKey, &disposition) == ERROR_SUCCESS) {
            settings.m_bCreated = disposition == REG_CREATED_NEW_KEY;
        }
    }
    if (settings.m_hKey != nullptr) {
        DWORD size = kMaxNameChars * sizeof(wchar_t);
        // A failed read may leave anything in the buffer; only a successful one counts.
        if (RegQueryValueExW(settings.m_hKey, kValueName, nullptr, nullptr,
                             reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
            buffer[0] = L'\0';
        }
    }
    const std::wstring name(buffer);
    return name.empty() ? kDefaultName : name;
}

std::wstring getWindowCaption() {
    return getAppName() + kCaptionSuffix;
}
