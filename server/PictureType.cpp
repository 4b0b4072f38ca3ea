// Media types of the pictures the server offers: exactly the formats the pop-up shows.
#include "server/PictureType.h"

#include "util/PictureFormat.h"

namespace kestrova {

std::optional<std::string> pictureContentType(std::string_view bytes) {
    const PictureFormat format = sniffPictureFormat(bytes);
    if (format == PictureFormat::None) {
        return std::nullopt;
    }
    return std::string(pictureContentType(format));
}

}  // namespace kestrova
