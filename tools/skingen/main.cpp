// Writes the skin pictures and the program icon into a folder (normally ui/skin). The
// outputs are committed; run tools/make-skin after changing a drawing.
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/skingen/IconFile.h"
#include "tools/skingen/SkinArt.h"

namespace {

using kestrova::skingen::SurfacePtr;

bool writePng(const std::string& folder, const char* name, const SurfacePtr& image) {
    const std::string path = folder + "/" + name;
    if (!image || cairo_surface_write_to_png(image.get(), path.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "make-skin: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool writeIcon(const std::string& folder, const char* name, const SurfacePtr& image) {
    const std::string path = folder + "/" + name;
    const auto bytes =
        image ? kestrova::skingen::encodeIcon(image.get()) : std::vector<std::uint8_t>{};
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (bytes.empty() || !file.flush()) {
        std::fprintf(stderr, "make-skin: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    namespace art = kestrova::skingen;
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrova-make-skin OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const SurfacePtr icon = art::drawProgramIcon();
    bool ok = writePng(folder, "float_bg.png", art::drawBackground());
    ok = writePng(folder, "close.png", art::drawCloseCross(art::kCrossGrey)) && ok;
    ok = writePng(folder, "close_hover.png", art::drawCloseCross(art::kCrossBlue)) && ok;
    ok = writePng(folder, "shadow.png", art::drawShadow()) && ok;
    ok = writeIcon(folder, "advertising_icon.ico", icon) && ok;
    ok = writePng(folder, "program_icon.png", icon) && ok;
    return ok ? 0 : 1;
}
