// Test helpers: in-memory pictures and archives, test resources, frames.
#include "UiTestSupport.h"

#include <unistd.h>
#include <zip.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/ui/UIMarkup.h"
#include "platform/ui/UIMessageCore.h"

namespace kestrova::uitest {
namespace {

std::map<std::pair<ProgramResource, UINT>, Bytes>& resources() {
    static std::map<std::pair<ProgramResource, UINT>, Bytes> all;
    return all;
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<Bytes*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

void setResource(ProgramResource kind, UINT id, Bytes bytes) {
    resources()[{kind, id}] = std::move(bytes);
}

void clearResources() {
    resources().clear();
}

std::span<const std::uint8_t> testResource(ProgramResource kind, UINT id) {
    auto it = resources().find({kind, id});
    if (it == resources().end())
        return {};
    return {it->second.data(), it->second.size()};
}

Bytes makePng(int w, int h, const std::function<void(cairo_t*)>& paint) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(surface);
    paint(cr);
    cairo_destroy(cr);
    Bytes png;
    cairo_surface_write_to_png_stream(surface, appendBytes, &png);
    cairo_surface_destroy(surface);
    return png;
}

Bytes makeZip(const std::map<std::string, std::string>& entries) {
    char path[] = "/tmp/kestrova-ui-zip-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        throw std::runtime_error("mkstemp");
    close(fd);
    int err = 0;
    zip_t* archive = zip_open(path, ZIP_TRUNCATE | ZIP_CREATE, &err);
    if (!archive)
        throw std::runtime_error("zip_open");
    for (auto& [name, data] : entries) {
        zip_source_t* src = zip_source_buffer(archive, data.data(), data.size(), 0);
        zip_file_add(archive, name.c_str(), src, ZIP_FL_ENC_UTF_8);
    }
    zip_close(archive);
    std::ifstream in(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    unlink(path);
    return bytes;
}

Bytes popupSkinZip(const std::function<void(SkinEntries&)>& edit) {
    SkinEntries entries;
    for (const char* name :
         {"FloatDlg.xml", "float_bg.png", "close.png", "close_hover.png", "shadow.png"})
        entries[name] = readSourceFile(std::string("ui/skin/") + name);
    if (edit)
        edit(entries);
    return makeZip(entries);
}

std::unique_ptr<CPaintManagerUI> loadPopup(const Bytes& zip) {
    std::string error;
    auto skin = kestrova::ui::openZipSkin(zip, error);
    if (!skin)
        throw std::runtime_error(error);
    auto pm = std::make_unique<CPaintManagerUI>();
    auto built = kestrova::ui::buildLayout(*skin, "FloatDlg.xml", *pm);
    if (!built)
        throw std::runtime_error(built.error);
    pm->SetSkin(std::move(skin));
    pm->AttachDialog(built.root.release());
    return pm;
}

std::string sourcePath(const std::string& relative) {
    const char* root = std::getenv("KESTROVA_SOURCE_DIR");
    return std::string(root ? root : ".") + "/" + relative;
}

std::string readSourceFile(const std::string& relative) {
    std::ifstream in(sourcePath(relative), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

kestrova::ui::HeadlessBackend& useHeadless() {
    auto headless = std::make_unique<kestrova::ui::HeadlessBackend>();
    auto& ref = *headless;
    kestrova::ui::installBackend(std::move(headless));
    return ref;
}

Frame::Frame(CPaintManagerUI& pm, int w, int h)
    : m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)) {
    cairo_t* cr = cairo_create(m_surface);
    {
        HDC__ dc(cr);
        pm.Render(&dc);
    }
    cairo_destroy(cr);
    cairo_surface_flush(m_surface);
}

Frame::~Frame() {
    cairo_surface_destroy(m_surface);
}

std::uint32_t Frame::pixel(int x, int y) const {
    const unsigned char* data = cairo_image_surface_get_data(m_surface);
    int stride = cairo_image_surface_get_stride(m_surface);
    std::uint32_t p = reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
    std::uint32_t a = p >> 24;
    if (a == 0)
        return 0;
    auto un = [a](std::uint32_t c) { return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a); };
    return (a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) | un(p & 0xFF);
}

bool Frame::writePng(const std::string& path) const {
    return cairo_surface_write_to_png(m_surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

bool near(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance)
            return false;
    }
    return true;
}

std::string hex(std::uint32_t argb) {
    char text[16];
    std::snprintf(text, sizeof text, "#%08X", argb);
    return text;
}

}  // namespace kestrova::uitest
