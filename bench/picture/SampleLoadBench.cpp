// The sample server's 300 x 200 picture as the pop-up loads it: once to size the window
// (LoadImageW) and once to paint it (the label's GetImageEx), the sized picture held
// meanwhile as the window holds it; and one bare decode of its bytes. Only public calls
// that every version of the library has, so that the same file measures a before and an
// after.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/ui/UIManager.h"
#include "platform/ui/UIRender.h"

namespace {

const std::wstring kPicture = KESTROVA_SAMPLE_PICTURE_W;

void BM_SizeAndPaintSample(benchmark::State& state) {
    for (auto _ : state) {
        TImageInfo* sized = CRenderEngine::LoadImageW(kPicture.c_str(), nullptr, 0);
        CPaintManagerUI painter;
        const TImageInfo* painted = painter.GetImageEx(kPicture.c_str());
        benchmark::DoNotOptimize(painted);
        if (sized == nullptr || painted == nullptr) {
            state.SkipWithError("the sample picture did not load");
        }
        CRenderEngine::FreeImage(sized);
    }
}
BENCHMARK(BM_SizeAndPaintSample)->Unit(benchmark::kMicrosecond);

void BM_DecodeSample(benchmark::State& state) {
    std::string bytes;
    kestrova::ui::readFileBytes(KESTROVA_SAMPLE_PICTURE, 1 << 20, bytes);
    for (auto _ : state) {
        auto decoded = kestrova::ui::decodeImage(
            {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
        benchmark::DoNotOptimize(decoded.image);
    }
}
BENCHMARK(BM_DecodeSample)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
