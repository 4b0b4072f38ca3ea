// Picture files as windows show them: read through one descriptor, decoded to fit the
// screen, and decoded once while anyone holds the result. Sizing a picture and painting it
// are two loads of the same file; the second shares the first's pixels.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/ui/UIBackend.h"
#include "platform/ui/UIRender.h"
#include "platform/ui/UIWinApi.h"
#include "util/FileDescriptor.h"

namespace kestrova::ui {
namespace {

// What makes two loads the same picture: the file's identity and content stamp, and
// what the decode was asked for.
struct PictureKey {
    std::string path;
    dev_t device;
    ino_t inode;
    off_t size;
    std::int64_t modifiedNs;
    DWORD mask;
    LONG fitWidth, fitHeight;

    auto tie() const {
        return std::tie(path, device, inode, size, modifiedNs, mask, fitWidth, fitHeight);
    }
    bool operator<(const PictureKey& other) const { return tie() < other.tie(); }
};

struct PictureStore {
    std::mutex lock;
    std::map<PictureKey, std::weak_ptr<TImageInfo>> pictures;
};
PictureStore& store() {
    static PictureStore s;
    return s;
}

// No window shows a picture larger than the work area, so a picture whose pixels exceed
// that box keeps only as many as fill it with its proportions: scaled down once here and the
// larger pixels freed, before any window holds a frame or a scaled copy beside them. A
// window sized to such a picture then draws these pixels as they are.
void reduceToFit(TImageInfo& image, SIZE fit) {
    const int w = cairo_image_surface_get_width(image.surface);
    const int h = cairo_image_surface_get_height(image.surface);
    if (fit.cx <= 0 || fit.cy <= 0 || (w <= fit.cx && h <= fit.cy)) {
        return;
    }
    const double scale = std::min(double(fit.cx) / w, double(fit.cy) / h);
    const int tw = std::max(1, static_cast<int>(std::lround(w * scale)));
    const int th = std::max(1, static_cast<int>(std::lround(h * scale)));
    SurfacePtr reduced(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, tw, th));
    if (cairo_surface_status(reduced.get()) != CAIRO_STATUS_SUCCESS) {
        return;
    }
    cairo_t* cr = cairo_create(reduced.get());
    cairo_scale(cr, double(tw) / w, double(th) / h);
    cairo_set_source_surface(cr, image.surface, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(reduced.get());
    cairo_surface_destroy(image.surface);
    image.surface = reduced.release();
}

bool readAll(int fd, std::size_t size, std::string& out) {
    out.resize(size);
    for (std::size_t at = 0; at < size;) {
        const ssize_t got = ::read(fd, out.data() + at, size - at);
        if (got <= 0) {
            return false;
        }
        at += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

SIZE pictureFitBox() {
    const RECT area = workAreaOrMonitor();
    const double scale = backend().scale();
    return SIZE{static_cast<LONG>(std::lround((area.right - area.left) * scale)),
                static_cast<LONG>(std::lround((area.bottom - area.top) * scale))};
}

DecodeResult loadPictureFile(const std::string& path, DWORD mask) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return {nullptr, "cannot be read"};
    }
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxImageFileBytes) {
        return {nullptr, "larger than " + std::to_string(kMaxImageFileBytes >> 20) + " MiB"};
    }
    const SIZE fit = pictureFitBox();
    const PictureKey key{path,
                         st.st_dev,
                         st.st_ino,
                         st.st_size,
                         std::int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec,
                         mask,
                         fit.cx,
                         fit.cy};
    PictureStore& s = store();
    std::lock_guard guard(s.lock);
    std::erase_if(s.pictures, [](const auto& entry) { return entry.second.expired(); });
    if (auto it = s.pictures.find(key); it != s.pictures.end()) {
        if (ImagePtr shared = it->second.lock()) {
            return {std::move(shared), {}};
        }
    }
    std::string bytes;
    if (!readAll(fd.get(), static_cast<std::size_t>(st.st_size), bytes)) {
        return {nullptr, "cannot be read"};
    }
    DecodeResult decoded = decodeImage(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, {mask, fit});
    std::string().swap(bytes);
    if (decoded.image) {
        reduceToFit(*decoded.image, fit);
        s.pictures[key] = decoded.image;
    }
    return decoded;
}

bool readFileBytes(const std::string& path, std::size_t maxBytes, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    in.seekg(0, std::ios::end);
    auto size = in.tellg();
    if (size < 0 || static_cast<std::size_t>(size) > maxBytes) {
        return false;
    }
    in.seekg(0, std::ios::beg);
    out.assign(static_cast<std::size_t>(size), '\0');
    return static_cast<bool>(in.read(out.data(), size));
}

}  // namespace kestrova::ui
