// Opening the skin archive linked into the test program, and decoding its pictures.
#include "tests/platform/resource/EmbeddedSkin.h"

#include "platform/resource/Resource.h"

namespace kestrova::test {

ZipPtr openEmbeddedSkin() {
    const auto bytes = findResource(kSkinResourceType, kSkinResourceId);
    if (bytes.empty()) {
        return nullptr;
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_error_fini(&error);
    if (source == nullptr) {
        return nullptr;
    }
    zip_error_init(&error);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    zip_error_fini(&error);
    if (archive == nullptr) {
        zip_source_free(source);
    }
    return ZipPtr(archive);
}

std::vector<std::string> entryNames(zip_t* archive) {
    std::vector<std::string> names;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        names.emplace_back(name != nullptr ? name : "");
    }
    return names;
}

std::optional<std::vector<std::uint8_t>> readEntry(zip_t* archive, const std::string& name) {
    zip_stat_t stat;
    if (zip_stat(archive, name.c_str(), 0, &stat) != 0 || (stat.valid & ZIP_STAT_SIZE) == 0) {
        return std::nullopt;
    }
    std::unique_ptr<zip_file_t, decltype(&zip_fclose)> file(zip_fopen(archive, name.c_str(), 0),
                                                            zip_fclose);
    if (!file) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> content(stat.size);
    const zip_int64_t read = zip_fread(file.get(), content.data(), content.size());
    if (read < 0 || static_cast<zip_uint64_t>(read) != stat.size) {
        return std::nullopt;
    }
    return content;
}

std::optional<Picture> decodePicture(std::span<const std::uint8_t> bytes) {
    std::unique_ptr<GdkPixbufLoader, decltype(&g_object_unref)> loader(gdk_pixbuf_loader_new(),
                                                                       g_object_unref);
    const bool written = gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), nullptr);
    // Close even after a failed write: the loader must not be released while open.
    const bool closed = gdk_pixbuf_loader_close(loader.get(), nullptr);
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
    if (!written || !closed || pixbuf == nullptr) {
        return std::nullopt;
    }
    return Picture(GDK_PIXBUF(g_object_ref(pixbuf)));
}

}  // namespace kestrova::test
