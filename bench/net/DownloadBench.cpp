// Download throughput and memory of downloadFile against the curl command-line tool,
// both fetching the same file from one loopback server in one run.
//
//   bench_download [rounds]          run the comparison (default 5 rounds)
//   bench_download --child URL DIR   one downloadFile into DIR (used by the comparison)
//
// Each download runs in a process of its own so that its wall time includes start-up for
// both sides alike and its peak resident size is its own, not the server's.
#include <httplib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "net/ClusterCurl.h"
#include "util/BuildSettings.h"

extern char** environ;

// The loopback server speaks plain HTTP: the system's certificate store, as a build
// without a bundle of its own.
const char* kestrova::builtInCaBundle() {
    return "";
}

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMiB = 1024 * 1024;

struct Run {
    double seconds;
};

int childDownload(const std::string& url, const std::string& dir) {
    ClusterCurl curl;
    curl.setDownloadLimit(std::int64_t{1} << 40);
    const CurlResult result = curl.downloadFile(url, dir, "download.bin");
    if (result.code != 200) {
        std::fprintf(stderr, "download failed: %d %s\n", result.code, result.message.c_str());
        return 1;
    }
    // The peak of this process's own memory; the spawner's rusage would also count the
    // memory of the process it was spawned from.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            std::ofstream(dir + "/peak") << std::stol(line.substr(6));
        }
    }
    return 0;
}

long childPeak(const std::string& dir) {
    long kib = 0;
    std::ifstream(dir + "/peak") >> kib;
    return kib;
}

Run spawnAndWait(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        std::perror("posix_spawnp");
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", argv[0]);
        std::exit(1);
    }
    return Run{elapsed.count()};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Serves /file/<bytes> with a Content-Length, from one shared 1 MiB block.
void serveFiles(httplib::Server& server) {
    static const std::string block(kMiB, 'k');
    server.Get(R"(/file/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        const std::size_t size = std::stoull(request.matches[1]);
        response.set_content_provider(
            size, "application/octet-stream",
            [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                const std::size_t piece = std::min(length, kMiB - offset % kMiB);
                return sink.write(block.data() + offset % kMiB, piece);
            });
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--child") {
        return childDownload(argv[2], argv[3]);
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string self = fs::read_symlink("/proc/self/exe").string();

    httplib::Server server;
    serveFiles(server);
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listener([&] { server.listen_after_bind(); });
    const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/file/";

    char pattern[] = "/tmp/kestrova-bench-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string big = base + std::to_string(256 * kMiB);
    const std::string small = base + std::to_string(16 * kMiB);

    std::vector<double> ours, theirs;
    long peakBig = 0, peakSmall = 0;
    for (int round = 0; round < rounds; ++round) {
        const Run a = spawnAndWait({self, "--child", big, dir});
        peakBig = std::max(peakBig, childPeak(dir));
        fs::remove(dir + "/download.bin");
        const Run b = spawnAndWait({"curl", "-s", "-o", dir + "/curl.bin", big});
        fs::remove(dir + "/curl.bin");
        spawnAndWait({self, "--child", small, dir});
        peakSmall = std::max(peakSmall, childPeak(dir));
        fs::remove(dir + "/download.bin");
        ours.push_back(a.seconds);
        theirs.push_back(b.seconds);
        std::printf("round %d: downloadFile %.3f s, curl %.3f s\n", round + 1, a.seconds,
                    b.seconds);
    }
    fs::remove_all(dir);
    server.stop();
    listener.join();

    const double mb = 256.0;
    std::printf("256 MiB median: downloadFile %.3f s (%.0f MiB/s), curl %.3f s (%.0f MiB/s)\n",
                median(ours), mb / median(ours), median(theirs), mb / median(theirs));
    std::printf("throughput ratio downloadFile/curl: %.3f\n", median(theirs) / median(ours));
    std::printf(
        "peak RSS downloadFile: 16 MiB file %ld KiB, 256 MiB file %ld KiB, "
        "difference %ld KiB\n",
        peakSmall, peakBig, peakBig - peakSmall);
    return 0;
}
