// Recognises the picture formats the pop-up can show from a file's first bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

// The media type of a PNG, JPEG, GIF, WebP or BMP picture, judged by its signature rather
// than its file name, so that a misnamed file is still served with the type it really has.
// Empty for anything else.
std::optional<std::string> pictureContentType(std::string_view bytes);

}  // namespace kestrova
