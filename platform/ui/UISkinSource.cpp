// Skin sources over libzip (archives in memory) and the file system.
#include "platform/ui/UISkinSource.h"

#include <zip.h>

#include "platform/ui/UIRender.h"

namespace kestrova::ui {
namespace {

struct ZipDeleter {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipDeleter>;

ZipPtr openZip(std::span<const std::uint8_t> bytes, std::string& error) {
    zip_error_t zerr;
    zip_error_init(&zerr);
    zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zerr);
    if (!src) {
        error = zip_error_strerror(&zerr);
        zip_error_fini(&zerr);
        return nullptr;
    }
    zip_t* archive = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &zerr);
    if (!archive) {
        error = std::string("not a readable zip archive: ") + zip_error_strerror(&zerr);
        zip_source_free(src);
    }
    zip_error_fini(&zerr);
    return ZipPtr(archive);
}

class ZipSkin : public SkinSource {
public:
    explicit ZipSkin(ZipPtr archive) : m_archive(std::move(archive)) {}

    std::optional<std::string> read(const std::string& name) const override {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat(m_archive.get(), name.c_str(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) ||
            st.size > kMaxSkinEntryBytes) {
            return std::nullopt;
        }
        zip_file_t* file = zip_fopen(m_archive.get(), name.c_str(), 0);
        if (!file) {
            return std::nullopt;
        }
        std::string data(static_cast<size_t>(st.size), '\0');
        zip_int64_t got = zip_fread(file, data.data(), st.size);
        zip_fclose(file);
        if (got < 0 || static_cast<zip_uint64_t>(got) != st.size) {
            return std::nullopt;
        }
        return data;
    }

    bool contains(const std::string& name) const override {
        return zip_name_locate(m_archive.get(), name.c_str(), 0) >= 0;
    }

    std::string describe() const override { return "skin archive"; }

private:
    ZipPtr m_archive;
};

class FolderSkin : public SkinSource {
public:
    explicit FolderSkin(std::string folder) : m_folder(std::move(folder)) {}

    std::optional<std::string> read(const std::string& name) const override {
        std::string bytes;
        if (!acceptable(name) || !readFileBytes(path(name), kMaxSkinEntryBytes, bytes)) {
            return std::nullopt;
        }
        return bytes;
    }

    bool contains(const std::string& name) const override { return read(name).has_value(); }

    std::string describe() const override { return "skin folder " + m_folder; }

private:
    static bool acceptable(const std::string& name) {
        return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
    }
    std::string path(const std::string& name) const {
        return m_folder.empty() || m_folder.back() == '/' ? m_folder + name : m_folder + "/" + name;
    }

    std::string m_folder;
};

}  // namespace

std::unique_ptr<SkinSource> openZipSkin(std::span<const std::uint8_t> bytes, std::string& error) {
    if (bytes.empty()) {
        error = "empty skin archive";
        return nullptr;
    }
    ZipPtr archive = openZip(bytes, error);
    if (!archive) {
        return nullptr;
    }
    return std::make_unique<ZipSkin>(std::move(archive));
}

std::unique_ptr<SkinSource> openFolderSkin(const std::string& folder) {
    return std::make_unique<FolderSkin>(folder);
}

std::vector<std::string> listZipEntries(std::span<const std::uint8_t> bytes) {
    std::string error;
    std::vector<std::string> names;
    ZipPtr archive = openZip(bytes, error);
    if (!archive) {
        return names;
    }
    zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        if (const char* name = zip_get_name(archive.get(), static_cast<zip_uint64_t>(i), 0)) {
            names.emplace_back(name);
        }
    }
    return names;
}

}  // namespace kestrova::ui
