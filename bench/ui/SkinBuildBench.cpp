// Building the pop-up from the embedded skin (unzip, parse, lay out) and painting its
// first frame offscreen.
#include <benchmark/benchmark.h>

#include "platform/resource/Resource.h"
#include "platform/ui/UIManager.h"
#include "platform/ui/UIMarkup.h"

namespace {

using namespace kestrova::ui;

std::unique_ptr<CPaintManagerUI> build() {
    auto bytes = kestrova::findResource(kestrova::kSkinResourceType, kestrova::kSkinResourceId);
    std::string error;
    auto skin = openZipSkin(bytes, error);
    auto pm = std::make_unique<CPaintManagerUI>();
    BuildResult built = buildLayout(*skin, "FloatDlg.xml", *pm);
    if (!built)
        throw std::runtime_error(built.error);
    pm->SetSkin(std::move(skin));
    pm->AttachDialog(built.root.release());
    return pm;
}

void render(CPaintManagerUI& pm) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 320, 180);
    cairo_t* cr = cairo_create(surface);
    {
        HDC__ dc(cr);
        pm.Render(&dc);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

void BuildAndFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        auto pm = build();
        render(*pm);
        benchmark::DoNotOptimize(pm.get());
    }
}
BENCHMARK(BuildAndFirstFrame)->Unit(benchmark::kMillisecond);

void BuildOnly(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(build());
    }
}
BENCHMARK(BuildOnly)->Unit(benchmark::kMillisecond);

void RepaintBuiltWindow(benchmark::State& state) {
    auto pm = build();
    for (auto _ : state) {
        render(*pm);
    }
}
BENCHMARK(RepaintBuiltWindow)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
