// Reading an advert file for the preview: the server's answer as a vendor would serve it,
// read by the pop-up's own parseAdvert and decided the way the pop-up decides, except
// that a picture advert names a local file instead of an address to download.
//
//   PreviewLoad load = loadAdvertFile("spring/advert.json");
//   if (!load.advert) { report(load.error); }
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::preview {

enum class AdvertKind { Text, Picture };

// An advert as the window receives it: wide text that went through the locale's narrow
// encoding, exactly as in the pop-up.
struct PreviewAdvert {
    AdvertKind kind = AdvertKind::Text;
    std::wstring title;
    std::wstring text;     // text adverts
    std::wstring picture;  // picture adverts: the full path of a picture that decodes
    std::wstring link;
};

struct PreviewLoad {
    std::optional<PreviewAdvert> advert;
    std::string error;  // set when advert is not
};

// The pop-up's answer limit; a larger advert file is refused like a larger answer.
inline constexpr std::uintmax_t kMaxAdvertFileBytes = 1u << 20;

// Reads file and decides as the pop-up does. Everything for which the pop-up would show
// nothing (unreadable JSON, another type, an empty text or picture address, a missing
// picture) is an error naming the cause; so is a picture that does not decode, which the
// pop-up would show as an empty page.
PreviewLoad loadAdvertFile(const std::filesystem::path& file);

struct PictureLocation {
    std::optional<std::filesystem::path> path;
    std::string error;
};

// Where "img_url" points: a file:// URL (empty host or "localhost", percent escapes
// decoded) or a path, relative ones taken from base. Network addresses are refused: the
// preview never downloads.
PictureLocation resolvePicture(std::string_view imgUrl, const std::filesystem::path& base);

}  // namespace kestrova::preview
