// The text side of private-profile (INI) files, free of any file I/O: finding a key's value
// in a file's bytes and producing the bytes with a key set. Files are UTF-8; the names
// and values passed in are UTF-8 too.
//
//   [Section]            names match case-insensitively; the first matching section
//   key = value          and the first matching key in it count; blanks around names
//   ; comment            and values are trimmed; lines end in "\n" or "\r\n"
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

// The trimmed value of key in the first section named section, or nothing when the section
// or the key is missing.
std::optional<std::string> findProfileValue(std::string_view file, std::string_view section,
                                            std::string_view key);

// The file with key set to value: replaced in place when the key exists (the line keeps its
// name, spacing and line ending), else added after the last non-blank line of the section,
// else appended with a new section at the end. Every other byte stays as it was; new lines
// end in "\n". The entry must satisfy isStorableProfileEntry.
std::string setProfileValue(std::string_view file, std::string_view section, std::string_view key,
                            std::string_view value);

// Whether the entry can be written so that it reads back: no line breaks anywhere, no "]"
// in the section, no "=" in the key and no key that would read as a comment or a section.
// (Blanks around the value are written but, as always, trimmed when read.)
bool isStorableProfileEntry(std::string_view section, std::string_view key, std::string_view value);

// UTF-8 as the files hold it; malformed bytes read as U+FFFD, and wide values outside
// Unicode are written as U+FFFD.
std::wstring profileUtf8ToWide(std::string_view text);
std::string profileWideToUtf8(std::wstring_view text);

}  // namespace kestrova
