// Private-profile (INI) settings files: the reader and writer the design's settings calls
// expect, with atomic, cross-process-locked writes.
#pragma once

#include <cstddef>

// Copies the value of key in section of the file at path into buffer (at most size - 1
// characters, always terminated) and returns the number of characters copied. A missing
// file, section or key yields defaultValue.
std::size_t GetPrivateProfileStringW(const wchar_t* section, const wchar_t* key,
                                     const wchar_t* defaultValue, wchar_t* buffer,
                                     std::size_t size, const wchar_t* path);

// Sets key in section of the file at path to value, keeping every other byte of the file.
// Returns false when the file cannot be written; the old file is then left as it was.
bool WritePrivateProfileStringW(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                                const wchar_t* path);
