// The sample advert server against nginx serving the same JSON answer as a static file,
// side by side in one run on loopback:
//   - wrk (one thread, kept-alive connections) at 10 and 100 connections, in interleaved
//     rounds: requests per second, latency percentiles, errors and time-outs;
//   - from the server's own counters afterwards: rotation and the frequency cap exact;
//   - a normal request on a fresh connection from its own address, alone and with 1,000
//     idle and 8 slow connections (one byte every 4.5 s) open at once, and when the server
//     closes the crowd;
//   - resident memory of both.
//
//   bench_server SERVER_EXE [ROUNDS] [SECONDS]
#include <unistd.h>

#include <sys/resource.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/BenchTiming.h"
#include "bench/server/LoadTools.h"

namespace {

using namespace kestrova::bench;
using namespace std::chrono_literals;

constexpr int kIdle = 1000, kSlow = 8, kPerAddress = 25, kProbes = 200;

struct Subject {
    const char* name;
    int port;
};

std::string nginxConfig(const std::filesystem::path& folder, int port) {
    // As an operator would serve one static file: access log on (here to /dev/null, where
    // the server's request log goes too), open files cached, one worker per processor.
    return std::string(geteuid() == 0 ? "user root;\n" : "") +
           "worker_processes auto;\n"
           "pid " +
           (folder / "nginx.pid").string() +
           ";\n"
           "error_log " +
           (folder / "nginx-error.log").string() +
           ";\n"
           "events { worker_connections 8192; }\n"
           "http {\n"
           "  access_log /dev/null;\n"
           "  sendfile on;\n"
           "  tcp_nopush on;\n"
           "  open_file_cache max=16;\n"
           "  keepalive_requests 1000000;\n"
           "  client_body_temp_path " +
           (folder / "body").string() +
           ";\n"
           "  proxy_temp_path " +
           (folder / "proxy").string() +
           ";\n"
           "  fastcgi_temp_path " +
           (folder / "fastcgi").string() +
           ";\n"
           "  uwsgi_temp_path " +
           (folder / "uwsgi").string() +
           ";\n"
           "  scgi_temp_path " +
           (folder / "scgi").string() +
           ";\n"
           "  server {\n"
           "    listen 127.0.0.1:" +
           std::to_string(port) +
           ";\n"
           "    location = /advert {\n"
           "      default_type \"application/json; charset=utf-8\";\n"
           "      alias " +
           (folder / "advert.json").string() +
           ";\n"
           "    }\n"
           "  }\n"
           "}\n";
}

// The value of one sample of /metrics, or -1.
double metric(const std::string& text, const std::string& series) {
    const std::size_t at = text.find("\n" + series + " ");
    return at == std::string::npos ? -1 : std::atof(text.c_str() + at + series.size() + 2);
}

struct Probes {
    double medianMs = -1, p99Ms = -1, maxMs = -1;
    int failed = 0;
};

// kProbes normal requests one after another, each on a new connection from 127.0.0.2.
Probes probe(int port) {
    std::vector<double> times;
    Probes result;
    for (int i = 0; i < kProbes; ++i) {
        const Answer answer = fetch(port, "/advert?time=0", "127.0.0.2");
        result.failed += answer.status != 200;
        times.push_back(answer.ms);
    }
    std::sort(times.begin(), times.end());
    result.medianMs = times[times.size() / 2];
    result.p99Ms = times[times.size() * 99 / 100];
    result.maxMs = times.back();
    return result;
}

void raiseFileLimit() {
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SERVER_EXE [ROUNDS] [SECONDS]\n", argv[0]);
        return 2;
    }
    const std::string serverExe = argv[1];
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 10;
    const std::string wrk = onPath("wrk"), nginx = onPath("nginx");
    if (wrk.empty() || nginx.empty()) {
        std::fprintf(stderr, "wrk and nginx are needed (tools/install-deps installs them)\n");
        return 2;
    }
    raiseFileLimit();
    char pattern[] = "/tmp/kestrova-server-bench-XXXXXX";
    const std::filesystem::path folder = mkdtemp(pattern);

    // The server with its samples (a text and a picture advert, served in turn); the cap
    // is on so that the capped run below has something to cap. 100 connections from one
    // address need more than the default per-client share.
    const int serverPort = freePort();
    Process server({serverExe, "--listen", "127.0.0.1:" + std::to_string(serverPort),
                    "--min-interval", "3600", "--max-per-client", "1000"},
                   "/dev/null");
    if (!waitForPort(serverPort)) {
        std::fprintf(stderr, "the server did not start\n");
        return 1;
    }
    const long serverStartKiB = server.memoryKiB("VmRSS");
    // nginx serves the text advert's answer, byte for byte as the server sends it.
    Answer text;
    for (int i = 0; i < 2 && text.body.find("\"type\":0") == std::string::npos; ++i) {
        text = fetch(serverPort, "/advert?time=0");
    }
    std::ofstream(folder / "advert.json", std::ios::binary) << text.body;
    const int nginxPort = freePort();
    std::ofstream(folder / "nginx.conf") << nginxConfig(folder, nginxPort);
    Process web(
        {nginx, "-p", folder.string(), "-c", (folder / "nginx.conf").string(), "-g", "daemon off;"},
        (folder / "nginx.out").string());
    if (!waitForPort(nginxPort) || fetch(nginxPort, "/advert").body != text.body) {
        std::fprintf(stderr, "nginx did not serve the answer; see %s\n", folder.c_str());
        return 1;
    }
    const Subject subjects[] = {{"nginx, static file", nginxPort},
                                {"kestrova-advert-server", serverPort}};

    std::printf("## wrk -t1, %d rounds of %d s, interleaved\n\n", rounds, seconds);
    std::printf(
        "| round | connections | subject | requests/s | p50 ms | p90 ms | p99 ms | max ms "
        "| errors (time-outs) | non-2xx |\n|---|---|---|---|---|---|---|---|---|---|\n");
    std::map<std::pair<int, int>, std::vector<double>> rates;  // (connections, subject)
    std::map<std::pair<int, int>, std::vector<double>> p99s;
    long serverErrors = 0;
    for (int round = 1; round <= rounds; ++round) {
        for (int connections : {10, 100}) {
            for (int s = 0; s < 2; ++s) {
                const WrkFigures f = runWrk(
                    wrk, "http://127.0.0.1:" + std::to_string(subjects[s].port) + "/advert?time=0",
                    connections, seconds);
                std::printf(
                    "| %d | %d | %s | %.0f | %.3f | %.3f | %.3f | %.2f | %ld (%ld) | %ld |\n",
                    round, connections, subjects[s].name, f.requestsPerSecond, f.p50Ms, f.p90Ms,
                    f.p99Ms, f.maxMs, f.socketErrors, f.timeouts, f.non2xx);
                std::fflush(stdout);
                rates[{connections, s}].push_back(f.requestsPerSecond);
                p99s[{connections, s}].push_back(f.p99Ms);
                if (s == 1) {
                    serverErrors += f.socketErrors + f.non2xx;
                }
            }
        }
    }
    std::printf(
        "\n| connections | nginx requests/s | server requests/s | server / nginx "
        "| nginx p99 ms | server p99 ms |\n|---|---|---|---|---|---|\n");
    for (int connections : {10, 100}) {
        const double n = median(rates[{connections, 0}]), k = median(rates[{connections, 1}]);
        std::printf("| %d | %.0f | %.0f | %.2f | %.3f | %.3f |\n", connections, n, k, k / n,
                    median(p99s[{connections, 0}]), median(p99s[{connections, 1}]));
    }
    std::printf("\nserver errors and non-2xx answers over all rounds: %ld\n", serverErrors);
    const long serverPeakKiB = server.memoryKiB("VmHWM");

    // Rotation: the two adverts were served in strict turn; the cap: a client that has just
    // seen an advert gets 204, every time, under load.
    const std::string before = fetch(serverPort, "/metrics").body;
    const double first = metric(
        before,
        R"(kestrova_adverts_served_total{entry="0",title="Kestrova 新功能 · New in Kestrova"})");
    const double second =
        metric(before, R"(kestrova_adverts_served_total{entry="1",title="Kestrova 阅读更轻松"})");
    const std::string ok = R"(kestrova_http_requests_total{route="/advert",status="200"})";
    const std::string none = R"(kestrova_http_requests_total{route="/advert",status="204"})";
    std::printf("\nrotation: entry 0 served %.0f, entry 1 served %.0f, answers 200: %.0f -> %s\n",
                first, second, metric(before, ok),
                std::abs(first - second) <= 1 && first + second == metric(before, ok)
                    ? "exact"
                    : "NOT EXACT");
    const std::string now = std::to_string(std::time(nullptr));
    const WrkFigures capped = runWrk(
        wrk, "http://127.0.0.1:" + std::to_string(serverPort) + "/advert?time=" + now, 100, 5);
    const std::string after = fetch(serverPort, "/metrics").body;
    const double cappedDelta = metric(after, "kestrova_capped_answers_total") -
                               metric(before, "kestrova_capped_answers_total");
    const double noneDelta = metric(after, none) - std::max(0.0, metric(before, none));
    const double okDelta = metric(after, ok) - metric(before, ok);
    std::printf(
        "cap: %.0f requests/s at 100 connections, %.0f answered 204, %.0f capped, %.0f "
        "answered 200 -> %s\n",
        capped.requestsPerSecond, noneDelta, cappedDelta, okDelta,
        cappedDelta == noneDelta && okDelta == 0 && capped.socketErrors == 0 ? "exact"
                                                                             : "NOT EXACT");

    // Abuse: a normal request alone, then with the crowd open.
    std::printf(
        "\n## a normal request on a new connection, %d in a row, alone and with %d idle "
        "+ %d slow connections open\n\n",
        kProbes, kIdle, kSlow);
    std::printf(
        "| subject | alone: median / max ms | with the crowd: median / p99 / max ms "
        "| failed | memory with the crowd | crowd closed by the server |\n"
        "|---|---|---|---|---|---|\n");
    for (int s = 0; s < 2; ++s) {
        const Probes alone = probe(subjects[s].port);
        const long long start = nowNs();
        Crowd crowd(subjects[s].port, kIdle, kSlow, 4500ms, kPerAddress);
        std::this_thread::sleep_for(1s);  // every connection accepted
        const Probes crowded = probe(subjects[s].port);
        const long memoryKiB = s == 0 ? web.memoryKiB("VmRSS", true) : server.memoryKiB("VmRSS");
        std::string closedAfter = "not waited for";
        if (s == 1) {
            double idleAt = -1, slowAt = -1;
            while ((idleAt < 0 || slowAt < 0) && nowNs() - start < 20'000'000'000LL) {
                const double at = double(nowNs() - start) / 1e9;
                if (idleAt < 0 && crowd.closedIdle() == kIdle) {
                    idleAt = at;
                }
                if (slowAt < 0 && crowd.closedSlow() == kSlow) {
                    slowAt = at;
                }
                std::this_thread::sleep_for(100ms);
            }
            char text[120];
            std::snprintf(text, sizeof text, "idle after %.1f s, slow after %.1f s", idleAt,
                          slowAt);
            closedAfter = text;
        }
        std::printf("| %s | %.3f / %.3f | %.3f / %.3f / %.3f | %d | %ld KiB | %s |\n",
                    subjects[s].name, alone.medianMs, alone.maxMs, crowded.medianMs, crowded.p99Ms,
                    crowded.maxMs, alone.failed + crowded.failed, memoryKiB, closedAfter.c_str());
        std::fflush(stdout);
    }
    // The worst a crowd can do to memory: every connection holds a request whose headers
    // nearly fill its connection memory.
    long heavyKiB = -1;
    {
        Crowd heavy(serverPort, 0, kIdle, 4500ms, kPerAddress, 24 * 1024);
        std::this_thread::sleep_for(2s);
        heavyKiB = server.memoryKiB("VmRSS");
    }
    std::printf(
        "\nserver resident memory: %ld KiB at start, %ld KiB peak after the wrk rounds, "
        "%ld KiB with %d connections each holding 24 KiB of unfinished headers\n",
        serverStartKiB, serverPeakKiB, heavyKiB, kIdle);
    std::filesystem::remove_all(folder);
    return 0;
}
