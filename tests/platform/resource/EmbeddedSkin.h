// Test access to the resources linked into the test program: the skin archive opened from
// memory with libzip, its entries, and pictures decoded with gdk-pixbuf.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <zip.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrova::test {

struct ZipClose {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipClose>;

// The embedded "AdvertisingSkin.zip", checked for consistency while it is opened; null
// when it is missing or not a zip archive.
ZipPtr openEmbeddedSkin();

// The names of every entry, folders included, in archive order.
std::vector<std::string> entryNames(zip_t* archive);

// The whole content of a named entry, or nothing when it is missing or unreadable.
std::optional<std::vector<std::uint8_t>> readEntry(zip_t* archive, const std::string& name);

// A decoded picture with straight (not premultiplied) alpha.
class Picture {
public:
    explicit Picture(GdkPixbuf* pixbuf) : m_pixbuf(pixbuf, g_object_unref) {}
    int width() const { return gdk_pixbuf_get_width(m_pixbuf.get()); }
    int height() const { return gdk_pixbuf_get_height(m_pixbuf.get()); }
    bool hasAlpha() const { return gdk_pixbuf_get_has_alpha(m_pixbuf.get()); }

private:
    std::shared_ptr<GdkPixbuf> m_pixbuf;
};

// Decodes any picture format gdk-pixbuf knows; nothing when the bytes are not one.
std::optional<Picture> decodePicture(std::span<const std::uint8_t> bytes);

}  // namespace kestrova::test
