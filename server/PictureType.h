// The media type the server gives a picture, from the pop-up's own format list.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

// The media type of a PNG, JPEG, GIF or BMP picture, judged by its signature rather than
// its file name, so that a misnamed file is still served with the type it really has.
// Empty for anything else, the formats the pop-up cannot show (WebP, SVG, ...) included.
std::optional<std::string> pictureContentType(std::string_view bytes);

}  // namespace kestrova
