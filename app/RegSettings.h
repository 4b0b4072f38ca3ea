// The product's settings in the machine registry: its display name, which the advert
// window shows in its caption.
#pragma once

#include <string>

#include "platform/registry/Registry.h"

// Holds one open registry key for the length of a scope and closes it at the end.
class CRegSettings {
public:
    CRegSettings() = default;
    virtual ~CRegSettings();
    CRegSettings(const CRegSettings&) = delete;
    CRegSettings& operator=(const CRegSettings&) = delete;

    HKEY m_hKey = nullptr;
    // Set when opening found no key and this process created it.
    bool m_bCreated = false;
};

// The product's display name from "appname" under HKLM "SOFTWARE\Kestrova"; "Kestrova" when
// the value is missing, empty, longer than 64 characters or unreadable. Creates the key when
// it is missing and the process may create it. Never empty.
std::wstring getAppName();

// The advert window's caption: the display name followed by "升级程序".
std::wstring getWindowCaption();
