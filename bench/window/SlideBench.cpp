// Frame timing of the slide-in: the interval between slide ticks as the window's timer
// handler sees them, against the designed interval, and the CPU time of a whole slide,
// for a short text advert (180 pixels) and a tall picture advert (1300 pixels). Run it on
// a display at least 1300 pixels high, or the tall window is scaled to the work area:
//
//   Xvfb :71 -screen 0 1920x1440x24 & openbox & DISPLAY=:71 bench_slide [runs]
#include <cairo.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/ui/host/X11Host.h"
#include "ui/AdvertLayout.h"
#include "ui/FloatDlg.h"

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// Records each slide tick into a list that outlives it: the window deletes itself when
// it closes at rest.
class TimedDlg : public CFloatDlg {
public:
    explicit TimedDlg(std::vector<Clock::time_point>& ticks) : ticks(ticks) {}
    std::vector<Clock::time_point>& ticks;

    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override {
        if (wParam == kestrova::kSlideTimerId) {
            ticks.push_back(Clock::now());
            RECT work{};
            if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
                work = kestrova::primaryMonitorRect();
            CFloatDlg::OnTimer(uMsg, wParam, lParam, bHandled);
            if (m_nTop == work.bottom - m_nHeight)
                Close(1);
            return 0;
        }
        return CFloatDlg::OnTimer(uMsg, wParam, lParam, bHandled);
    }
    int height() const { return m_nHeight; }
};

std::string tallPicture(int w, int h) {
    std::string path = "/tmp/kestrova-bench-slide-" + std::to_string(getpid()) + ".png";
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 0.2, 0.4, 0.7);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
    return path;
}

struct Result {
    int height = 0;
    int designed = 0;
    size_t ticks = 0;
    double medianMs = 0, worstMs = 0, cpuMs = 0, wallMs = 0;
};

Result slideOnce(const std::wstring& picture) {
    std::vector<Clock::time_point> ticks;
    auto* dlg = new TimedDlg(ticks);
    Result r;
    if (!dlg->Create(nullptr, L"bench", 0x10CF0000, 0x00020080, 0, 0, 710, 470)) {
        delete dlg;
        return r;
    }
    if (picture.empty())
        dlg->ShowTextAdvert(L"Title", L"A short advert text.", L"");
    else
        dlg->ShowImageAdvert(L"Title", picture.c_str(), L"");
    r.height = dlg->height();
    r.designed = kestrova::slideInterval(r.height);
    double cpu0 = cpuSeconds();
    Clock::time_point wall0 = Clock::now();
    dlg->StartSlideIn();
    // The window closes itself at rest; its destruction ends the loop.
    CPaintManagerUI::MessageLoop();
    r.cpuMs = (cpuSeconds() - cpu0) * 1e3;
    r.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - wall0).count();

    std::vector<double> gaps;
    Clock::time_point previous = wall0;
    for (Clock::time_point t : ticks) {
        gaps.push_back(std::chrono::duration<double, std::milli>(t - previous).count());
        previous = t;
    }
    r.ticks = ticks.size();
    if (!gaps.empty()) {
        std::sort(gaps.begin(), gaps.end());
        r.medianMs = gaps[gaps.size() / 2];
        r.worstMs = gaps.back();
    }
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::string picture = tallPicture(320, 1300);
    std::wstring wpicture(picture.begin(), picture.end());
    kestrova::ui::installBackend(kestrova::ui::createX11Backend());
    std::printf("backend: %s\n", kestrova::ui::backend().isNative() ? "native" : "headless");
    std::printf("%-8s %-6s %-9s %-6s %-11s %-10s %-9s %-9s\n", "window", "run", "designed", "ticks",
                "median ms", "worst ms", "cpu ms", "wall ms");
    for (const std::wstring& p : {std::wstring(), wpicture}) {
        for (int run = 0; run < runs; ++run) {
            Result r = slideOnce(p);
            std::printf("%-8d %-6d %-9d %-6zu %-11.2f %-10.2f %-9.1f %-9.1f\n", r.height, run,
                        r.designed, r.ticks, r.medianMs, r.worstMs, r.cpuMs, r.wallMs);
        }
    }
    unlink(picture.c_str());
    return 0;
}
