// Loads one picture file as the pop-up does and reports what came of it, so that a test can
// measure the load from outside: this process's peak memory and the load's CPU time.
//
//   picture_probe FILE
//   cpu_us 812 peak_kib 9064
//   size 100 50 surface 100 50 quadrants FFFF0000 FF00FF00 FF0000FF FFFFFF00
//   (or "refused: REASON", exit 1)
//
// The peak is this process's own (VmHWM): the resource usage a parent reads would keep the
// parent's memory at the fork across the exec.
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/ui/UIRender.h"

namespace {

long peakKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

long long threadCpuMicroseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1'000'000LL + now.tv_nsec / 1000;
}

// Straight 0xAARRGGBB at x, y of a premultiplied surface.
std::uint32_t straight(cairo_surface_t* surface, int x, int y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(
        cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface));
    const std::uint32_t p = row[x], a = p >> 24;
    auto un = [a](std::uint32_t c) { return a ? c * 255 / a : 0; };
    return (a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) | un(p & 0xFF);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: picture_probe FILE\n");
        return 2;
    }
    const long long before = threadCpuMicroseconds();
    const kestrova::ui::DecodeResult loaded = kestrova::ui::loadPictureFile(argv[1]);
    const long long cpu = threadCpuMicroseconds() - before;
    std::printf("cpu_us %lld peak_kib %ld\n", cpu, peakKiB());
    if (!loaded.image) {
        std::printf("refused: %s\n", loaded.error.c_str());
        return 1;
    }
    cairo_surface_t* surface = loaded.image->surface;
    const int w = cairo_image_surface_get_width(surface),
              h = cairo_image_surface_get_height(surface);
    std::printf("size %d %d surface %d %d quadrants", loaded.image->nX, loaded.image->nY, w, h);
    for (int q = 0; q < 4; ++q) {
        std::printf(" %08X", straight(surface, (q % 2 * 2 + 1) * w / 4, (q / 2 * 2 + 1) * h / 4));
    }
    std::printf("\n");
    return 0;
}
