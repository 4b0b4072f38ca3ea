// Frame timing of the slide-in: the interval between slide ticks as the window's timer
// handler sees them (the first from the timer's start), against the designed interval, the
// CPU and wall time of a whole slide from StartSlideIn, the time from the first step (the
// window mapped with its first strip on screen) to rest, and the time from the answer (the
// advert handed to the window) until that first step. Text and picture adverts 180, 700 and 1300
// pixels high, a 3000 x 2000 picture (scaled into the work area) and a text advert with a 400 KB
// title and a 400 KB text. Run it on a display at least 1300 pixels high (run-slide-bench starts
// one):
//
//   Xvfb :71 -screen 0 1920x1440x24 & openbox & DISPLAY=:71 bench_slide [runs]
#include <cairo.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
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

double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Records each slide tick into a list that outlives it: the window deletes itself when
// it closes at rest.
class TimedDlg : public CFloatDlg {
public:
    TimedDlg(std::vector<Clock::time_point>& ticks, Clock::time_point& firstDone)
        : ticks(ticks), firstDone(firstDone) {}
    std::vector<Clock::time_point>& ticks;
    Clock::time_point& firstDone;

    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override {
        if (wParam == kestrova::kSlideTimerId) {
            ticks.push_back(Clock::now());
            RECT work{};
            if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
                work = kestrova::primaryMonitorRect();
            CFloatDlg::OnTimer(uMsg, wParam, lParam, bHandled);
            if (ticks.size() == 1)
                firstDone = Clock::now();  // the first step maps the window
            if (m_nTop == work.bottom - m_nHeight)
                Close(1);
            return 0;
        }
        return CFloatDlg::OnTimer(uMsg, wParam, lParam, bHandled);
    }
    int height() const { return m_nHeight; }
};

std::string pictureFile(int w, int h) {
    std::string path = "/tmp/kestrova-bench-slide-" + std::to_string(getpid()) + "-" +
                       std::to_string(w) + "x" + std::to_string(h) + ".png";
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 0.2, 0.4, 0.7);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.9, 0.6, 0.1);
    cairo_rectangle(cr, 0, 0, w / 2.0, h / 2.0);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
    return path;
}

struct Advert {
    std::string name;
    std::wstring title, text, picture;
};

void show(CFloatDlg& dlg, const Advert& advert) {
    if (advert.picture.empty())
        dlg.ShowTextAdvert(advert.title.c_str(), advert.text.c_str(), L"");
    else
        dlg.ShowImageAdvert(advert.title.c_str(), advert.picture.c_str(), L"");
}

TimedDlg* createDlg(std::vector<Clock::time_point>& ticks, Clock::time_point& firstDone) {
    auto* dlg = new TimedDlg(ticks, firstDone);
    if (!dlg->Create(nullptr, L"bench", 0x10CF0000, 0x00020080, 0, 0, 710, 470)) {
        delete dlg;
        return nullptr;
    }
    return dlg;
}

// A text of whole lines that makes the window at least height pixels high (or as high as
// the work area lets it be).
std::wstring textForHeight(int height) {
    std::vector<Clock::time_point> ticks;
    Clock::time_point firstDone;
    TimedDlg* dlg = createDlg(ticks, firstDone);
    std::wstring text;
    for (int line = 0; dlg && line < 200; ++line) {
        text += L"Line " + std::to_wstring(line) + L" of a tall advert text\n";
        dlg->ShowTextAdvert(L"Title", text.c_str(), L"");
        if (dlg->height() >= height)
            break;
    }
    if (dlg) {
        DestroyWindow(dlg->GetHWND());
        CPaintManagerUI::MessageLoop();
    }
    return text;
}

struct Result {
    int height = 0;
    int designed = 0;
    size_t ticks = 0;
    double medianMs = 0, worstMs = 0, cpuMs = 0, wallMs = 0, shownMs = 0, mappedMs = 0;
};

Result slideOnce(const Advert& advert) {
    std::vector<Clock::time_point> ticks;
    Clock::time_point firstDone;
    Result r;
    TimedDlg* dlg = createDlg(ticks, firstDone);
    if (!dlg)
        return r;
    const Clock::time_point answer = Clock::now();
    show(*dlg, advert);
    r.height = dlg->height();
    r.designed = kestrova::slideInterval(r.height);
    double cpu0 = cpuSeconds();
    Clock::time_point wall0 = Clock::now();
    dlg->StartSlideIn();
    // The timer runs from here: the first interval is measured from it.
    const Clock::time_point started = Clock::now();
    // The window closes itself at rest; its destruction ends the loop.
    CPaintManagerUI::MessageLoop();
    const Clock::time_point rest = Clock::now();
    r.cpuMs = (cpuSeconds() - cpu0) * 1e3;
    r.wallMs = msBetween(wall0, rest);
    r.shownMs = msBetween(firstDone, rest);
    r.mappedMs = msBetween(answer, firstDone);

    std::vector<double> gaps;
    Clock::time_point previous = started;
    for (Clock::time_point t : ticks) {
        gaps.push_back(msBetween(previous, t));
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

std::wstring wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    kestrova::ui::installBackend(kestrova::ui::createX11Backend());
    std::printf("backend: %s\n", kestrova::ui::backend().isNative() ? "native" : "headless");

    std::vector<std::string> files;
    std::vector<Advert> adverts;
    for (int height : {180, 700, 1300}) {
        adverts.push_back({"text " + std::to_string(height),
                           L"Title",
                           height <= 180 ? L"A short advert text." : textForHeight(height),
                           {}});
    }
    for (SIZE size : {SIZE{320, 180}, SIZE{320, 700}, SIZE{320, 1300}, SIZE{3000, 2000}}) {
        files.push_back(pictureFile(size.cx, size.cy));
        adverts.push_back({"picture " + std::to_string(size.cx) + "x" + std::to_string(size.cy),
                           L"Title",
                           {},
                           wide(files.back())});
    }
    Advert huge{"text 400 KB", {}, {}, {}};
    while (huge.text.size() < 400'000) {
        huge.title += L"A very long advert title ";
        huge.text += L"words of a very long advert text ";
    }
    adverts.push_back(huge);

    std::printf("%-18s %-4s %-7s %-9s %-6s %-10s %-9s %-8s %-8s %-9s %-11s %-10s\n", "advert",
                "run", "height", "designed", "ticks", "median ms", "worst ms", "cpu ms", "wall ms",
                "shown ms", "designed ms", "mapped ms");
    for (const Advert& advert : adverts) {
        for (int run = 0; run < runs; ++run) {
            Result r = slideOnce(advert);
            std::printf(
                "%-18s %-4d %-7d %-9d %-6zu %-10.2f %-9.2f %-8.1f %-8.1f %-9.1f %-11d %-10.1f\n",
                advert.name.c_str(), run, r.height, r.designed, r.ticks, r.medianMs, r.worstMs,
                r.cpuMs, r.wallMs, r.shownMs, static_cast<int>(r.ticks) * r.designed, r.mappedMs);
            std::fflush(stdout);
        }
    }
    for (const std::string& file : files)
        unlink(file.c_str());
    return 0;
}
