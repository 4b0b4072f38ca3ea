// Test helpers: in-memory pictures and archives, fake resources, frames.
#include "UiTestSupport.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <unistd.h>
#include <zip.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/ui/UIMarkup.h"
#include "platform/ui/UIMessageCore.h"

namespace kestrova::uitest {
namespace {

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<Bytes*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

void rgb(cairo_t* cr, int r, int g, int b) {
    cairo_set_source_rgb(cr, r / 255.0, g / 255.0, b / 255.0);
}

void cross(cairo_t* cr, int r, int g, int b) {
    rgb(cr, r, g, b);
    cairo_set_line_width(cr, 2.5);
    cairo_move_to(cr, 5, 5);
    cairo_line_to(cr, 15, 15);
    cairo_move_to(cr, 15, 5);
    cairo_line_to(cr, 5, 15);
    cairo_stroke(cr);
}

}  // namespace

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

Bytes makeJpeg(int w, int h) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, w, h);
    gdk_pixbuf_fill(pixbuf, 0x336699ff);
    gchar* buffer = nullptr;
    gsize size = 0;
    gdk_pixbuf_save_to_buffer(pixbuf, &buffer, &size, "jpeg", nullptr, nullptr);
    Bytes jpeg(buffer, buffer + size);
    g_free(buffer);
    g_object_unref(pixbuf);
    return jpeg;
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

std::map<std::string, std::string> popupSkinPictures() {
    auto str = [](const Bytes& b) { return std::string(b.begin(), b.end()); };
    std::map<std::string, std::string> pictures;
    pictures["float_bg.png"] = str(makePng(320, 210, [](cairo_t* cr) {
        // Rounded corners of radius 5: the window's shape comes from them.
        cairo_new_sub_path(cr);
        cairo_arc(cr, 5, 5, 5, M_PI, 1.5 * M_PI);
        cairo_arc(cr, 315, 5, 5, 1.5 * M_PI, 2 * M_PI);
        cairo_arc(cr, 315, 205, 5, 0, 0.5 * M_PI);
        cairo_arc(cr, 5, 205, 5, 0.5 * M_PI, M_PI);
        cairo_close_path(cr);
        cairo_clip(cr);
        rgb(cr, 250, 251, 255);
        cairo_paint(cr);
        rgb(cr, 110, 133, 213);
        cairo_rectangle(cr, 0, 0, 320, 30);
        cairo_fill(cr);
    }));
    pictures["close.png"] = str(makePng(20, 20, [](cairo_t* cr) { cross(cr, 121, 135, 152); }));
    pictures["close_hover.png"] =
        str(makePng(20, 20, [](cairo_t* cr) { cross(cr, 81, 159, 255); }));
    pictures["shadow.png"] = str(makePng(758, 508, [](cairo_t* cr) {
        cairo_set_source_rgba(cr, 0, 0, 0, 0.25);
        cairo_rectangle(cr, 0, 0, 758, 508);
        cairo_rectangle(cr, 20, 20, 718, 468);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill(cr);
    }));
    return pictures;
}

Bytes popupSkinZip() {
    auto entries = popupSkinPictures();
    entries["FloatDlg.xml"] = readDataFile("popup_layout.xml");
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

std::string dataPath(const std::string& relative) {
    const char* root = std::getenv("KESTROVA_SOURCE_DIR");
    return std::string(root ? root : ".") + "/tests/platform/ui/data/" + relative;
}

std::string readDataFile(const std::string& relative) {
    std::ifstream in(dataPath(relative), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

kestrova::ui::HeadlessBackend& useHeadless() {
    auto headless = std::make_unique<kestrova::ui::HeadlessBackend>();
    auto& ref = *headless;
    kestrova::ui::useBackend(std::move(headless));
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
