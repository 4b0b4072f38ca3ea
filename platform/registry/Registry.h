// The registry calls the program makes, on a file-backed registry: a hive is a folder, a
// key is a sub-folder (the key path's "\" separators become "/"), and a value is a file in
// the key's folder named after the value, holding its text as UTF-8 (one trailing newline
// is not part of the value). Access rights are the file system's: opening a key for
// reading needs a readable folder, for writing a writable one, and creating a key is
// "mkdir -p".
//
//     HKEY key = nullptr;
//     if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Kestrova", 0, KEY_READ, &key) ==
//         ERROR_SUCCESS) {
//         wchar_t name[64] = {};
//         DWORD size = sizeof name - sizeof name[0];
//         RegQueryValueExW(key, L"appname", nullptr, nullptr,
//                          reinterpret_cast<BYTE*>(name), &size);
//         RegCloseKey(key);
//     }
//
// Only the calls and flags the program uses exist. All calls are thread-safe.
#pragma once

#include <cstdint>

struct HKEY__;
using HKEY = HKEY__*;
// 32 bits as on Windows, and the same type the window library declares, so that a unit
// can include both.
using LONG = std::int32_t;
using DWORD = std::uint32_t;
using REGSAM = DWORD;
using BYTE = std::uint8_t;

// The machine hive: the compiled-in registry folder (kestrova::builtInRegistryRoot).
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002});

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_INVALID_DATA = 13;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_MORE_DATA = 234;

// Access rights. The read rights need a readable folder, the others a writable one.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
inline constexpr DWORD REG_SZ = 1;

// Opens an existing key below hKey (a hive or an open key). ERROR_FILE_NOT_FOUND when the
// key does not exist, ERROR_ACCESS_DENIED when the requested rights exceed the folder's.
// *phkResult is null after a failure.
LONG RegOpenKeyExW(HKEY hKey, const wchar_t* lpSubKey, DWORD ulOptions, REGSAM samDesired,
                   HKEY* phkResult);

// Opens the key, creating it and every missing key above it first. Reserved must be 0,
// lpClass and lpSecurityAttributes null; lpdwDisposition may be null.
LONG RegCreateKeyExW(HKEY hKey, const wchar_t* lpSubKey, DWORD Reserved, wchar_t* lpClass,
                     DWORD dwOptions, REGSAM samDesired, const void* lpSecurityAttributes,
                     HKEY* phkResult, DWORD* lpdwDisposition);

// Reads a value of a key opened with KEY_QUERY_VALUE. The data is the value's text as wide
// characters, without a terminator; *lpcbData is its size in bytes. With lpData null only
// the size is reported; a buffer smaller than the data gives ERROR_MORE_DATA, the needed
// size, and leaves the buffer untouched. A value file over 1 MiB gives ERROR_INVALID_DATA.
LONG RegQueryValueExW(HKEY hKey, const wchar_t* lpValueName, DWORD* lpReserved, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData);

// Closes a key; closing a hive does nothing. ERROR_INVALID_HANDLE for any other handle.
LONG RegCloseKey(HKEY hKey);
