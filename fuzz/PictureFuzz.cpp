// The picture loader: a file's first bytes choose its decoder (PNG, JPEG, GIF or BMP) or
// none, and that decoder's header checks come before any pixel. Any bytes give a picture
// within the side limit or a reason, and nothing else reaches a decoder.
#include "fuzz/FuzzCheck.h"
#include "platform/ui/UIRender.h"
#include "util/PictureFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrova::ui;
    const std::span<const std::uint8_t> bytes(data, size);
    // A small box, as on a small screen: JPEGs decode reduced, the others whole.
    const DecodeResult decoded = decodeImage(bytes, {size > 0 ? data[size - 1] : 0u, {320, 200}});
    FUZZ_CHECK((decoded.image != nullptr) == decoded.error.empty());
    if (kestrova::sniffPictureFormat(bytes) == kestrova::PictureFormat::None) {
        FUZZ_CHECK(decoded.image == nullptr);
    }
    if (decoded.image != nullptr) {
        const TImageInfo& picture = *decoded.image;
        FUZZ_CHECK(picture.nX > 0 && picture.nY > 0 && picture.nX <= kMaxImageSide &&
                   picture.nY <= kMaxImageSide);
        FUZZ_CHECK(cairo_surface_status(picture.surface) == CAIRO_STATUS_SUCCESS &&
                   cairo_image_surface_get_width(picture.surface) <= picture.nX &&
                   cairo_image_surface_get_height(picture.surface) <= picture.nY);
    }
    return 0;
}
