// The picture formats the pop-up shows, recognised from a file's first bytes. This is the
// one list: the window library decodes exactly these, the preview tool checks against it
// and the sample server offers nothing else, so a picture one of them accepts the others
// accept too.
//
//   if (kestrova::sniffPictureFormat(bytes) == kestrova::PictureFormat::None) { refuse }
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kestrova {

enum class PictureFormat { None, Png, Jpeg, Gif, Bmp };

// The format by signature, never by name: PNG's eight-byte signature, JPEG's start of
// image followed by a marker, "GIF87a" or "GIF89a", and "BM" followed by a known bitmap
// header size. None for anything else (SVG, WebP, TIFF, icons, text, an empty file, ...).
PictureFormat sniffPictureFormat(std::span<const std::uint8_t> bytes);
PictureFormat sniffPictureFormat(std::string_view bytes);

// "image/png", "image/jpeg", "image/gif", "image/bmp"; empty for None.
std::string_view pictureContentType(PictureFormat format);

// The formats for messages: "PNG, JPEG, GIF or BMP".
inline constexpr std::string_view kPictureFormatNames = "PNG, JPEG, GIF or BMP";

}  // namespace kestrova
