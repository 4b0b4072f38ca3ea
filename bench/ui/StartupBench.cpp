// Start-up driver: runs (a) the library's pop-up, (b) the bare Xlib floor program and
// (c) yad, interleaved round by round, and reports for each the median time from
// process start to its window being mapped (seen from this client on the root window)
// and to its first painted frame (reported by (a) and (b) themselves), and the median
// peak resident size. yad does not report its paint; its map time is a lower bound.
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/common/BenchTiming.h"

namespace {

using kestrova::bench::median;
using kestrova::bench::nowNs;

struct Sample {
    double mapMs = -1, paintMs = -1;
    long rssKiB = -1;
};

// Waits up to limitMs for a window to be mapped on the root; the time, or -1.
long long waitForMap(Display* d, int limitMs) {
    long long end = nowNs() + limitMs * 1000000LL;
    while (nowNs() < end) {
        while (XPending(d) > 0) {
            XEvent ev;
            XNextEvent(d, &ev);
            if (ev.type == MapNotify)
                return nowNs();
        }
        pollfd fd{ConnectionNumber(d), POLLIN, 0};
        poll(&fd, 1, 5);
    }
    return -1;
}

long long readPainted(int fd, int limitMs) {
    std::string text;
    long long end = nowNs() + limitMs * 1000000LL;
    char buffer[128];
    while (nowNs() < end && text.find('\n') == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10) > 0) {
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            text.append(buffer, static_cast<size_t>(n));
        }
    }
    auto at = text.find("painted_ns=");
    return at == std::string::npos ? -1 : std::atoll(text.c_str() + at + 11);
}

Sample runOnce(Display* d, const std::vector<std::string>& argv, bool reportsPaint) {
    XSync(d, True);  // forget earlier notifications
    int out[2];
    if (pipe(out) != 0)
        return {};
    long long start = nowNs();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    Sample s;
    long long mapped = waitForMap(d, 10000);
    if (mapped > 0)
        s.mapMs = (mapped - start) / 1e6;
    if (reportsPaint) {
        long long painted = readPainted(out[0], 10000);
        if (painted > 0)
            s.paintMs = (painted - start) / 1e6;
    } else {
        // Give the dialog time to draw before it is ended, so its memory peak counts.
        usleep(300000);
        kill(pid, SIGTERM);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    s.rssKiB = usage.ru_maxrss;
    close(out[0]);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s ROUNDS FLOAT_SHOW FLOOR_SHOW PICTURE\n", argv[0]);
        return 2;
    }
    int rounds = std::max(1, std::atoi(argv[1]));
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    struct Program {
        const char* name;
        std::vector<std::string> argv;
        bool reportsPaint;
        std::vector<double> map, paint, rss;
    } programs[] = {
        {"(a) library pop-up", {argv[2]}, true, {}, {}, {}},
        {"(b) Xlib floor", {argv[3], argv[4]}, true, {}, {}, {}},
        {"(c) yad --text",
         {"yad", "--title=bench", "--text=新版本已发布，欢迎升级体验更多功能。"},
         false,
         {},
         {},
         {}},
    };
    for (int r = 0; r < rounds; ++r) {
        for (auto& p : programs) {
            Sample s = runOnce(d, p.argv, p.reportsPaint);
            p.map.push_back(s.mapMs);
            p.paint.push_back(s.paintMs);
            p.rss.push_back(static_cast<double>(s.rssKiB));
        }
    }
    std::printf(
        "| Program | start to mapped (ms) | start to first paint (ms) | peak RSS (KiB) |\n");
    std::printf("|---|---|---|---|\n");
    for (auto& p : programs) {
        std::printf("| %s | %.1f | %.1f | %.0f |\n", p.name, median(p.map), median(p.paint),
                    median(p.rss));
    }
    double a = median(programs[0].paint), b = median(programs[1].paint);
    double cMap = median(programs[2].map);
    std::printf("\n(a)/(b) start to paint: %.2f (goal at most 1.3)\n", a / b);
    std::printf("(a)/(b) peak RSS: %.2f (goal at most 1.3)\n",
                median(programs[0].rss) / median(programs[1].rss));
    std::printf("(a) paint / (c) mapped: %.2f (goal at most 0.5; (c)'s paint comes later)\n",
                a / cMap);
    XCloseDisplay(d);
    return 0;
}
