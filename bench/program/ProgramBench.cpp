// Whole-program benchmark driver. Against the sample advert server on the loopback, round
// by round and interleaved, it runs:
//   no advert (the server answers 204): the pop-up from start to exit, beside the curl tool
//     fetching the same URL;
//   a text advert: the pop-up from start to its window mapped below the screen's corner, to
//     its first visible pixel and to rest at the bottom of the work area, beside the bare
//     Xlib + cairo + pango floor program and yad --text;
// and prints the medians, the peak resident sizes and the ratios against their goals.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench/common/BenchTiming.h"
#include "bench/program/BenchRuns.h"
#include "ui/AdvertLayout.h"

namespace {

using kestrova::bench::BenchRuns;
using kestrova::bench::Figures;
using kestrova::bench::median;

struct Column {
    const char* name;
    std::vector<Figures> runs;

    double med(double Figures::*field) const {
        std::vector<double> v;
        for (const auto& f : runs)
            v.push_back(f.*field);
        return median(v);
    }
    double rss() const {
        std::vector<double> v;
        for (const auto& f : runs)
            v.push_back(static_cast<double>(f.rssKiB));
        return median(v);
    }
    int intended() const {
        int n = 0;
        for (const auto& f : runs)
            n += f.asIntended ? 1 : 0;
        return n;
    }
};

std::string loadAverage() {
    std::string text;
    std::getline(std::ifstream("/proc/loadavg"), text);
    return text;
}

// "-" for a figure no run produced.
std::string ms(double value) {
    if (value < 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

void printRatio(const char* what, double a, double b, const char* goal) {
    if (a < 0 || b <= 0)
        std::printf("| %s | - | %s |\n", what, goal);
    else
        std::printf("| %s | %.2f | %s |\n", what, a / b, goal);
}

void report(const Column& program, const Column& curl, const Column& shown, const Column& floor,
            const Column& yad, int rounds) {
    std::printf("\nNo advert (204), medians of %d runs:\n\n", rounds);
    std::printf("| Program | start to exit (ms) | peak RSS (KiB) | runs as intended |\n");
    std::printf("|---|---|---|---|\n");
    for (const Column* c : {&program, &curl})
        std::printf("| %s | %s | %.0f | %d/%zu |\n", c->name, ms(c->med(&Figures::exitMs)).c_str(),
                    c->rss(), c->intended(), c->runs.size());

    std::printf("\nText advert, medians of %d runs:\n\n", rounds);
    std::printf(
        "| Program | start to mapped (ms) | start to first pixel (ms) | start to rest (ms) | "
        "own paint report (ms) | peak RSS (KiB) | runs as intended |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const Column* c : {&shown, &floor, &yad})
        std::printf("| %s | %s | %s | %s | %s | %.0f | %d/%zu |\n", c->name,
                    ms(c->med(&Figures::mapMs)).c_str(), ms(c->med(&Figures::paintMs)).c_str(),
                    ms(c->med(&Figures::restMs)).c_str(), ms(c->med(&Figures::selfPaintMs)).c_str(),
                    c->rss(), c->intended(), c->runs.size());

    const int height = shown.runs.empty() ? 0 : shown.runs.back().height;
    const int ticks = (height + kestrova::kSlideStepPixels - 1) / kestrova::kSlideStepPixels;
    const double designed = ticks * kestrova::slideInterval(height);
    std::printf(
        "\nSlide of the %d-pixel window: %d ticks of %d ms, designed %.0f ms; "
        "measured first pixel to rest %s ms, mapped to rest %s ms\n",
        height, ticks, kestrova::slideInterval(height), designed,
        ms(shown.med(&Figures::restMs) - shown.med(&Figures::paintMs)).c_str(),
        ms(shown.med(&Figures::restMs) - shown.med(&Figures::mapMs)).c_str());

    const double paint = shown.med(&Figures::paintMs);
    std::printf("\n| Ratio | measured | goal |\n|---|---|---|\n");
    printRatio("no advert: pop-up / curl, start to exit", program.med(&Figures::exitMs),
               curl.med(&Figures::exitMs), "at most 2");
    printRatio("text: pop-up / floor, start to first pixel", paint, floor.med(&Figures::paintMs),
               "at most 1.5");
    printRatio("text: pop-up first pixel / floor's own paint report", paint,
               floor.med(&Figures::selfPaintMs), "(same goal, floor's clock)");
    printRatio("text: pop-up first pixel / yad mapped", paint, yad.med(&Figures::mapMs),
               "at most 0.5 (yad paints after it maps)");
    printRatio("text: pop-up / floor, peak RSS", shown.rss(), floor.rss(), "at most 1.5");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s ROUNDS PROGRAM SERVER FLOOR_SHOW PICTURE\n", argv[0]);
        return 2;
    }
    const int rounds = std::max(1, std::atoi(argv[1]));
    kestrova::bench::Paths paths{argv[2],
                                 argv[3],
                                 argv[4],
                                 argv[5],
                                 kestrova::bench::findOnPath("curl"),
                                 kestrova::bench::findOnPath("yad")};
    if (paths.curl.empty() || paths.yad.empty()) {
        std::fprintf(stderr, "curl and yad must be on PATH\n");
        return 1;
    }
    BenchRuns bench(paths, BENCH_PORT);
    if (!bench.problem().empty()) {
        std::fprintf(stderr, "%s\n", bench.problem().c_str());
        return 1;
    }
    if (!bench.screen().seesPaint())
        std::fprintf(stderr, "no damage extension: first pixels are not measured\n");
    std::printf("load average before: %s\n", loadAverage().c_str());

    Column program{"pop-up, no advert", {}}, curl{"curl, same URL", {}};
    Column shown{"pop-up, text advert", {}}, floor{"Xlib floor", {}}, yad{"yad --text", {}};
    // One round first, not counted: the first start of each program pays for cold caches.
    for (int r = -1; r < rounds; ++r) {
        Figures a = bench.programNoAdvert(), b = bench.curlNoAdvert();
        Figures c = bench.programTextAdvert(), d = bench.floorProgram(), e = bench.yadText();
        if (r < 0)
            continue;
        program.runs.push_back(a);
        curl.runs.push_back(b);
        shown.runs.push_back(c);
        floor.runs.push_back(d);
        yad.runs.push_back(e);
    }
    std::printf("load average after: %s\n", loadAverage().c_str());
    report(program, curl, shown, floor, yad, rounds);
    return 0;
}
