// kestrova-advert-server: serves the adverts of an adverts file to the Kestrova pop-up.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <system_error>
#include <thread>
#include <vector>

#include "server/AdvertCatalog.h"
#include "server/AdvertServer.h"
#include "server/ServerOptions.h"

namespace {

constexpr int kExitCannotListen = 1;
constexpr int kExitBadInput = 2;

std::filesystem::path executableDir(const char* argv0) {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        exe = std::filesystem::absolute(argv0, ec);
    }
    return exe.parent_path();
}

kestrova::ServerOptions defaultOptions(const char* argv0) {
    kestrova::ServerOptions defaults;
    // The pop-up's compiled-in endpoint decides the port, so the two match out of the box.
    defaults.port = kestrova::portOfUrl(KESTROVA_ADVERT_ENDPOINT).value_or(8642);
    defaults.advertsFile = executableDir(argv0) / "samples" / "adverts.json";
    return defaults;
}

std::string displayHost(const std::string& host) {
    return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

// Every connection is a descriptor: the soft limit goes up to the hard one, and the
// connection limit comes down to what fits, leaving room for the listening socket, the
// event loop's own descriptors and the standard streams.
void fitConnectionsToDescriptors(kestrova::ServerLimits& limits) {
    constexpr rlim_t kReserve = 64;
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0) {
        return;
    }
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    if (getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == RLIM_INFINITY) {
        return;
    }
    const rlim_t room = files.rlim_cur > 2 * kReserve ? files.rlim_cur - kReserve : kReserve;
    if (limits.maxConnections > room) {
        std::cerr << "kestrova-advert-server: only " << room << " connections fit in the "
                  << files.rlim_cur << " open files allowed; --max-connections lowered to that\n";
        limits.maxConnections = room;
    }
}

// Reads the adverts file again; a faulty one leaves the adverts in use as they are.
void reload(kestrova::AdvertServer& server, const std::filesystem::path& file, std::size_t& count) {
    kestrova::CatalogResult loaded = kestrova::loadAdvertsFile(file);
    if (!loaded.catalog) {
        std::cerr << "kestrova-advert-server: reload refused, still serving the " << count
                  << " adverts read before: " << loaded.error << std::endl;
        return;
    }
    count = loaded.catalog->adverts.size();
    server.replaceCatalog(std::move(*loaded.catalog));
    server.note("kestrova-advert-server: reloaded " + std::to_string(count) + " adverts from " +
                file.string());
}

}  // namespace

int main(int argc, char** argv) {
    // Blocked before any thread starts, so every thread inherits the mask and the signals
    // are taken only by the sigwait below, outside any signal handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    const kestrova::ServerOptions defaults = defaultOptions(argv[0]);
    std::vector<std::string_view> args(argv + 1, argv + argc);
    kestrova::OptionsResult parsed = kestrova::parseServerOptions(args, defaults);
    if (!parsed.options) {
        std::cerr << "kestrova-advert-server: " << parsed.error << '\n';
        return kExitBadInput;
    }
    kestrova::ServerOptions& options = *parsed.options;
    if (options.help) {
        std::cout << kestrova::usageText(defaults);
        return 0;
    }

    kestrova::CatalogResult loaded = kestrova::loadAdvertsFile(options.advertsFile);
    if (!loaded.catalog) {
        std::cerr << "kestrova-advert-server: " << loaded.error << '\n';
        return kExitBadInput;
    }
    std::size_t count = loaded.catalog->adverts.size();
    fitConnectionsToDescriptors(options.limits);

    kestrova::AdvertServer server(std::move(*loaded.catalog), options.minInterval,
                                  kestrova::systemNow, std::cout, options.limits);
    const int port = server.bind(options.host, options.port);
    if (port < 0) {
        std::cerr << "kestrova-advert-server: cannot listen on " << displayHost(options.host) << ":"
                  << options.port << '\n';
        return kExitCannotListen;
    }
    std::cout << "kestrova-advert-server: " << count << " adverts from "
              << options.advertsFile.string() << ", listening on http://"
              << displayHost(options.host) << ":" << port << "/advert" << std::endl;

    std::atomic<bool> stopping{false};
    bool served = true;
    std::thread runner([&] {
        served = server.run();
        // A server that gave up on its own wakes the waiting main thread.
        if (!stopping) {
            kill(getpid(), SIGTERM);
        }
    });
    for (int signal = SIGHUP; signal == SIGHUP;) {
        sigwait(&signals, &signal);
        if (signal == SIGHUP) {
            reload(server, options.advertsFile, count);
        }
    }
    stopping = true;
    server.stop();
    runner.join();
    if (!served) {
        std::cerr << "kestrova-advert-server: the listening socket failed\n";
        return kExitCannotListen;
    }
    std::cout << "kestrova-advert-server: stopped" << std::endl;
    return 0;
}
