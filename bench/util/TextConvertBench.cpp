// The conversions against the C library's own bulk conversions (wcsrtombs, mbsrtowcs) of
// the same text in the same run: a URL as the request sends it and a mixed-script title.
//
//   bench_text_convert [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <clocale>
#include <cwchar>
#include <string>

#include "util/TextConvert.h"

namespace {

const std::wstring kUrl = L"http://127.0.0.1:8642/advert?time=1700000000&lang=en&v=1.0.0";
const std::wstring kTitle = L"Caf\u00E9 Gr\u00FC\u00DFe \u6F22\u5B57\u30C6\u30B9\u30C8 advert";

const std::wstring& textOf(const benchmark::State& state) {
    return state.range(0) == 0 ? kUrl : kTitle;
}

void BM_wideToAnsi(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(wideToAnsi(textOf(state)));
    }
}

void BM_libcWcsrtombs(benchmark::State& state) {
    for (auto _ : state) {
        const wchar_t* src = textOf(state).c_str();
        std::mbstate_t st{};
        std::string out(textOf(state).size() * 4, '\0');
        out.resize(std::wcsrtombs(out.data(), &src, out.size(), &st));
        benchmark::DoNotOptimize(out);
    }
}

void BM_ansiToWide(benchmark::State& state) {
    const std::string narrow = wideToAnsi(textOf(state));
    for (auto _ : state) {
        benchmark::DoNotOptimize(ansiToWide(narrow));
    }
}

void BM_libcMbsrtowcs(benchmark::State& state) {
    const std::string narrow = wideToAnsi(textOf(state));
    for (auto _ : state) {
        const char* src = narrow.c_str();
        std::mbstate_t st{};
        std::wstring out(narrow.size(), L'\0');
        out.resize(std::mbsrtowcs(out.data(), &src, out.size(), &st));
        benchmark::DoNotOptimize(out);
    }
}

// Arg 0: the URL, arg 1: the title.
BENCHMARK(BM_wideToAnsi)->Arg(0)->Arg(1);
BENCHMARK(BM_libcWcsrtombs)->Arg(0)->Arg(1);
BENCHMARK(BM_ansiToWide)->Arg(0)->Arg(1);
BENCHMARK(BM_libcMbsrtowcs)->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
