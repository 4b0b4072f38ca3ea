// Where a skin's files come from: a zip archive held in memory (the embedded skin
// package) or a folder on disk. Both hand out whole entries by name, bounded in size.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrova::ui {

class SkinSource {
public:
    virtual ~SkinSource() = default;
    // The entry's bytes, or nothing when it is absent, unreadable or too large.
    virtual std::optional<std::string> read(const std::string& name) const = 0;
    virtual bool contains(const std::string& name) const = 0;
    // A short description for error messages ("archive", "folder /x/y").
    virtual std::string describe() const = 0;
};

// No skin entry may be larger than this: a layout or a picture of the skin is far
// smaller, and a damaged archive must not make the library allocate without bound.
inline constexpr std::uint64_t kMaxSkinEntryBytes = 16u << 20;

// Opens a zip archive held in memory; the bytes must outlive the source. Null with
// error set when the bytes are not a readable zip archive.
std::unique_ptr<SkinSource> openZipSkin(std::span<const std::uint8_t> bytes, std::string& error);

// A folder of skin files; entries are plain file names inside it (no sub-folders, no
// "..": a name that tries to leave the folder is absent).
std::unique_ptr<SkinSource> openFolderSkin(const std::string& folder);

// The entry names of a zip archive in memory, in archive order (empty when unreadable).
std::vector<std::string> listZipEntries(std::span<const std::uint8_t> bytes);

}  // namespace kestrova::ui
