// parseAdvert on a typical answer against a bare parse of the same text by the JSON
// library alone: the difference is the cost of the reading rules and the conversions.
//
//   bench_parse_advert --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <json/json.h>

#include <clocale>
#include <string>

#include "advert/ParseAdvert.h"

namespace {

// The two kinds of answer the server gives: a text advert and a picture advert.
const std::string kTextAnswer = R"({
  "title": "Kestrova \u9605\u8bfb\u5668 \u65b0\u7248\u672c",
  "type": 0,
  "context": "\u70b9\u51fb\u4e0b\u8f7d\u6700\u65b0\u7248\u672c\uff0c\u4f53\u9a8c\u66f4\u5feb\u7684\u6253\u5f00\u901f\u5ea6",
  "click_url": "http://127.0.0.1:8642/landing?campaign=spring&source=popup"
})";
const std::string kPictureAnswer = R"({
  "title": "Kestrova \u9605\u8bfb\u5668 \u65b0\u7248\u672c",
  "type": 1,
  "img_url": "http://127.0.0.1:8642/static/advert/2024/banner-320x240.png",
  "click_url": "http://127.0.0.1:8642/landing?campaign=spring&source=popup"
})";

void BM_JsoncppParse(benchmark::State& state, const std::string& answer) {
    for (auto _ : state) {
        Json::Reader reader;
        Json::Value root;
        benchmark::DoNotOptimize(reader.parse(answer, root));
        benchmark::DoNotOptimize(root);
    }
}
BENCHMARK_CAPTURE(BM_JsoncppParse, text, kTextAnswer);
BENCHMARK_CAPTURE(BM_JsoncppParse, picture, kPictureAnswer);

void BM_ParseAdvert(benchmark::State& state, const std::string& answer) {
    for (auto _ : state) {
        AdvertItem item;
        benchmark::DoNotOptimize(parseAdvert(answer, item));
        benchmark::DoNotOptimize(item);
    }
}
BENCHMARK_CAPTURE(BM_ParseAdvert, text, kTextAnswer);
BENCHMARK_CAPTURE(BM_ParseAdvert, picture, kPictureAnswer);

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C.UTF-8");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
