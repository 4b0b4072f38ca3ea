// The CPU time and peak memory of loading each of the worst pictures a server can send,
// each in a fresh process (this program again, with --load FILE) so that one picture's
// memory is not another's:
//
//   bench_picture_hostile            the table, one row per picture
//   bench_picture_hostile --load F   loads F as the pop-up does; prints "cpu_ms peak_kib outcome"
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ui/UIRender.h"
#include "tests/support/TestPictures.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using kestrova::test::Bytes;

int load(const char* file) {
    timespec before{}, after{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
    const kestrova::ui::DecodeResult loaded = kestrova::ui::loadPictureFile(file);
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
    // VmHWM, not the resource usage's maximum: that one keeps the spawning process's
    // memory across the exec.
    long peak = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            peak = std::stol(line.substr(6));
    }
    const double ms = (after.tv_sec - before.tv_sec) * 1e3 + (after.tv_nsec - before.tv_nsec) / 1e6;
    std::printf("%.1f %ld %s\n", ms, peak,
                loaded.image ? "decoded" : ("refused: " + loaded.error).c_str());
    return 0;
}

std::string runLoad(const std::string& self, const fs::path& file) {
    const std::string out = file.string() + ".out";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> args{self, "--load", file.string()};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        ::waitpid(pid, nullptr, 0);
    }
    posix_spawn_file_actions_destroy(&actions);
    std::string line;
    std::getline(std::ifstream(out), line);
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--load") {
        return load(argv[2]);
    }
    using namespace kestrova::test;
    const fs::path dir =
        fs::temp_directory_path() / ("kestrova-bench-pictures-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const Bytes big = jpegOf(4096, 4096, quadrants(4096, 4096), JpegScans::Progressive);
    const struct {
        const char* what;
        Bytes bytes;
    } rows[] = {
        {"JPEG 4096 x 4096 baseline", jpegOf(4096, 4096, quadrants(4096, 4096))},
        {"JPEG 4096 x 4096 progressive (10 scans)", big},
        {"JPEG 4096 x 4096 progressive, 100 scans", withScans(big, 100)},
        {"JPEG 4096 x 4096 progressive, 1,000 scans", withScans(big, 1000)},
        {"JPEG 4096 x 4096 progressive, full colour",
         jpegOf(4096, 4096, quadrants(4096, 4096), JpegScans::Progressive, JpegColour::Full)},
        {"PNG 4096 x 4096", pngOf(4096, 4096, quadrants(4096, 4096))},
        {"GIF 4096 x 4096", gifOf(4096, 4096, {quadrants(4096, 4096)})},
        {"BMP 4096 x 2048, 24 bits", bmpOf(4096, 2048, quadrants(4096, 2048))},
        {"SVG of 2,000 chained uses",
         [] {
             auto s = svgWithChainedUses(2000);
             return Bytes(s.begin(), s.end());
         }()},
    };
    std::printf(
        "| Picture | size | CPU time of the load | peak memory of the process | outcome "
        "|\n|---|---|---|---|---|\n");
    int n = 0;
    for (const auto& row : rows) {
        const fs::path file = dir / ("picture" + std::to_string(n++));
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(row.bytes.data()),
                   std::streamsize(row.bytes.size()));
        double ms = 0;
        long kib = 0;
        char outcome[256] = {};
        const std::string line = runLoad(fs::read_symlink("/proc/self/exe"), file);
        std::sscanf(line.c_str(), "%lf %ld %255[^\n]", &ms, &kib, outcome);
        std::printf("| %s | %zu KiB | %.1f ms | %.1f MiB | %s |\n", row.what,
                    row.bytes.size() >> 10, ms, kib / 1024.0, outcome);
    }
    fs::remove_all(dir);
    return 0;
}
