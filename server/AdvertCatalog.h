// The adverts file: a JSON list of text and picture adverts, read and checked once at
// start so that a mistake is reported before the first client asks, never mid-request.
//
//   [
//     {"kind": "text", "title": "Welcome", "text": "Hello", "link": "https://example.com/"},
//     {"kind": "picture", "title": "Spring", "picture": "spring.png",
//      "link": "https://example.com/spring", "start": "2025-03-01", "end": "2025-05-31"}
//   ]
//
// Pictures are plain file names in the adverts file's folder; they are read into memory
// here, so the server never opens a file on a client's behalf.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

enum class AdvertKind { text, picture };

struct Advert {
    AdvertKind kind = AdvertKind::text;
    std::string title;
    std::string text;     // text adverts only
    std::string picture;  // picture adverts only: the file name, as served under /images/
    std::string link;
    // Both days inclusive, in UTC; absent means open-ended.
    std::optional<std::chrono::sys_days> start;
    std::optional<std::chrono::sys_days> end;
};

struct Picture {
    std::string contentType;
    std::string bytes;
};

struct AdvertCatalog {
    std::vector<Advert> adverts;
    std::map<std::string, Picture, std::less<>> pictures;  // by file name
};

// Either a catalog or a message naming the entry (index and title) and the field at fault.
struct CatalogResult {
    std::optional<AdvertCatalog> catalog;
    std::string error;
};

// The pop-up refuses pictures larger than this, so the server refuses to offer them.
inline constexpr std::size_t kMaxPictureBytes = 32u << 20;
// An adverts file is written by hand; anything this large is a mistake.
inline constexpr std::size_t kMaxAdvertsFileBytes = 4u << 20;

CatalogResult loadAdvertsFile(const std::filesystem::path& file);

// The parsing and checking behind loadAdvertsFile; pictures are looked up in pictureDir.
CatalogResult parseAdverts(std::string_view json, const std::filesystem::path& pictureDir);

// Reads a whole file of at most maxBytes; empty on failure, with the reason in error.
std::optional<std::string> readSmallFile(const std::filesystem::path& file, std::size_t maxBytes,
                                         std::string& error);

}  // namespace kestrova
