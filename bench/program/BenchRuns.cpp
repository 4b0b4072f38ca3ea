// The runs of the whole-program benchmark: the pop-up, curl, the Xlib floor and yad,
// each started beside the shared advert server and watched on the display.
#include "bench/program/BenchRuns.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

namespace kestrova::bench {

namespace fs = std::filesystem;

namespace {

// The text of the floor program, so both windows lay out the same line.
constexpr const char* kAdvertTitle = "Kestrova 新版本";
constexpr const char* kAdvertText =
    "新版本已发布，欢迎升级体验更多功能。点击查看详情，了解本次更新的全部内容。";
constexpr const char* kYadText = "--text=新版本已发布，欢迎升级体验更多功能。";

// A display time this recent makes the server answer 204 for a day.
constexpr const char* kMinInterval = "86400";
constexpr int kRunLimitMs = 10000;
constexpr int kServerStartMs = 5000;
// yad reports no paint of its own; it is given this long to draw before it is ended,
// so its memory peak counts.
constexpr int kYadDrawMs = 300;

std::string readFile(const fs::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool acceptsConnections(int port) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return ok;
}

bool exitedCleanly(const Child& child) {
    return child.ended() && WIFEXITED(child.status()) && WEXITSTATUS(child.status()) == 0;
}

double msBetween(long long from, long long to) {
    return to < 0 ? -1 : static_cast<double>(to - from) / 1e6;
}

bool never(const Seen&) {
    return false;
}

}  // namespace

std::string findOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const fs::path candidate = fs::path(folder) / name;
        if (!folder.empty() && access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
    }
    return {};
}

BenchRuns::BenchRuns(Paths paths, int port) : m_paths(std::move(paths)), m_port(port) {
    if (!m_screen.connected()) {
        m_problem = "no X display";
        return;
    }
    std::string pattern = (fs::temp_directory_path() / "kestrova-progbench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        m_problem = "cannot create a private folder";
        return;
    }
    m_root = pattern;
    m_runDir = m_root / "run";
    fs::create_directories(m_runDir / "tmp");
    // One copy for every run: the program keeps its settings and cache beside itself.
    fs::copy_file(m_paths.program, m_runDir / "kestrova-advert");
    m_shownTime = std::to_string(std::time(nullptr));
    writeFile(m_root / "adverts.json", std::string("[{\"kind\": \"text\", \"title\": \"") +
                                           kAdvertTitle + "\", \"text\": \"" + kAdvertText +
                                           "\", \"link\": \"https://example.com/new\"}]\n");
    startServer();
}

BenchRuns::~BenchRuns() {
    m_server.reset();
    std::error_code ignored;
    if (!m_root.empty())
        fs::remove_all(m_root, ignored);
}

void BenchRuns::startServer() {
    ChildSpec spec;
    spec.argv = {m_paths.server.string(),
                 "--listen",
                 "127.0.0.1:" + std::to_string(m_port),
                 "--adverts",
                 (m_root / "adverts.json").string(),
                 "--min-interval",
                 kMinInterval};
    spec.stderrPath = (m_root / "server.err").string();
    m_server = std::make_unique<Child>(spec);
    for (int waited = 0; waited < kServerStartMs; waited += 10) {
        if (m_server->reap())
            break;
        if (acceptsConnections(m_port)) {
            // Another process on the port would answer too; ours must still be running.
            usleep(100000);
            if (!m_server->reap())
                return;
            break;
        }
        usleep(10000);
    }
    m_problem = "the advert server did not start on port " + std::to_string(m_port) + ": " +
                readFile(m_root / "server.err");
}

std::vector<std::string> BenchRuns::runEnvironment() const {
    return {"TMPDIR=" + (m_runDir / "tmp").string()};
}

Figures BenchRuns::measure(Child& child, Seen& seen) const {
    Figures f;
    const long long start = child.startNs();
    f.exitMs = msBetween(start, child.exitNs());
    f.mapMs = seen.mapNs < 0 ? -1 : msBetween(start, seen.mapNs);
    f.paintMs = seen.paintNs < 0 ? -1 : msBetween(start, seen.paintNs);
    f.restMs = seen.restNs < 0 ? -1 : msBetween(start, seen.restNs);
    f.rssKiB = child.peakRssKiB();
    f.height = seen.mapBox.h;
    f.atStartPlace = seen.mapNs >= 0 && seen.mapBox.y == m_screen.height() &&
                     seen.mapBox.x + seen.mapBox.w == m_screen.width();
    return f;
}

// Every run starts from a screen watch that has forgotten the previous run's windows.
ChildSpec BenchRuns::spec(std::vector<std::string> argv, const char* errName, bool capture) {
    m_screen.forget();
    return {std::move(argv), runEnvironment(), (m_root / errName).string(), capture};
}

Figures BenchRuns::programNoAdvert() {
    const std::string shown = "[CONFIG]\nlast_adv_time=" + m_shownTime + "\n";
    writeFile(config(), shown);
    Child child(spec({(m_runDir / "kestrova-advert").string()}, "program.err", false));
    Seen seen;
    m_screen.follow(child, seen, never, kRunLimitMs);
    const bool exited = exitedCleanly(child);
    child.stop();
    Figures f = measure(child, seen);
    f.asIntended = exited && seen.maps == 0 && readFile(config()) == shown;
    return f;
}

Figures BenchRuns::curlNoAdvert() {
    const std::string url =
        "http://127.0.0.1:" + std::to_string(m_port) + "/advert?time=" + m_shownTime;
    Child child(
        spec({m_paths.curl, "-s", "-o", "/dev/null", "-w", "%{http_code}", url}, "curl.err", true));
    Seen seen;
    m_screen.follow(child, seen, never, kRunLimitMs);
    const bool exited = exitedCleanly(child);
    child.stop();
    Figures f = measure(child, seen);
    f.asIntended = exited && child.output() == "204";
    return f;
}

Figures BenchRuns::programTextAdvert() {
    // Without a display time the server answers with its advert.
    std::error_code ignored;
    fs::remove(config(), ignored);
    Child child(spec({(m_runDir / "kestrova-advert").string()}, "program.err", false));
    Seen seen;
    m_screen.follow(
        child, seen, [](const Seen& s) { return s.restNs >= 0; }, kRunLimitMs);
    child.stop();
    Figures f = measure(child, seen);
    f.asIntended = f.restMs >= 0 && f.paintMs >= 0 && f.atStartPlace && fs::exists(config());
    return f;
}

Figures BenchRuns::floorProgram() {
    Child child(spec({m_paths.floor.string(), m_paths.picture.string()}, "floor.err", true));
    Seen seen;
    m_screen.follow(child, seen, never, kRunLimitMs);
    const bool exited = exitedCleanly(child);
    child.stop();
    Figures f = measure(child, seen);
    const std::string out = child.output();
    const auto at = out.find("painted_ns=");
    if (at != std::string::npos)
        f.selfPaintMs = msBetween(child.startNs(), std::atoll(out.c_str() + at + 11));
    f.asIntended = exited && f.mapMs >= 0 && f.selfPaintMs >= 0;
    return f;
}

Figures BenchRuns::yadText() {
    Child child(spec({m_paths.yad, "--title=bench", kYadText}, "yad.err", false));
    Seen seen;
    m_screen.follow(
        child, seen, [](const Seen& s) { return s.mapNs >= 0; }, kRunLimitMs);
    if (seen.mapNs >= 0)
        m_screen.follow(child, seen, never, kYadDrawMs);
    child.stop();
    Figures f = measure(child, seen);
    f.asIntended = f.mapMs >= 0;
    return f;
}

}  // namespace kestrova::bench
