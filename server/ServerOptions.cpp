// Parsing of the command line.
#include "server/ServerOptions.h"

#include <charconv>

#include "server/AdvertSelector.h"

namespace kestrova {

namespace {

// Far above what one process can keep open; it keeps the library's own count in range.
constexpr std::size_t kMaxConnectionsLimit = 1'000'000;

template <typename Number>
std::optional<Number> parseNumber(std::string_view text, Number low, Number high) {
    Number value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

// Splits "--name=value" or takes the value from the next argument.
bool takeValue(std::span<const std::string_view> args, std::size_t& i, std::string_view name,
               std::string_view& value, std::string& error) {
    const std::string_view arg = args[i];
    if (arg.size() > name.size() && arg[name.size()] == '=') {
        value = arg.substr(name.size() + 1);
        return true;
    }
    if (i + 1 >= args.size()) {
        error = std::string(name) + " needs a value";
        return false;
    }
    value = args[++i];
    return true;
}

bool isOption(std::string_view arg, std::string_view name) {
    return arg == name ||
           (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=');
}

}  // namespace

std::optional<int> portOfUrl(std::string_view url) {
    const std::size_t scheme = url.find("://");
    std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    const std::size_t closing = authority.rfind(']');
    const std::size_t colon = authority.rfind(':');
    if (colon == std::string_view::npos || (closing != std::string_view::npos && colon < closing)) {
        return 80;
    }
    return parseNumber<int>(authority.substr(colon + 1), 1, 65535);
}

bool parseListenAddress(std::string_view text, std::string& host, int& port) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    std::string_view hostPart = text.substr(0, colon);
    if (hostPart.size() >= 2 && hostPart.front() == '[' && hostPart.back() == ']') {
        hostPart = hostPart.substr(1, hostPart.size() - 2);
    } else if (hostPart.find(':') != std::string_view::npos) {
        return false;  // an IPv6 address needs its brackets to tell it from the port
    }
    std::optional<int> number = parseNumber<int>(text.substr(colon + 1), 0, 65535);
    if (!number) {
        return false;
    }
    if (!hostPart.empty()) {
        host = std::string(hostPart);
    }
    port = *number;
    return true;
}

OptionsResult parseServerOptions(std::span<const std::string_view> args,
                                 const ServerOptions& defaults) {
    ServerOptions options = defaults;
    std::string error;
    auto failed = [&](std::string message) { return OptionsResult{std::nullopt, message}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        std::string_view value;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (isOption(arg, "--listen")) {
            if (!takeValue(args, i, "--listen", value, error)) {
                return failed(error);
            }
            if (!parseListenAddress(value, options.host, options.port)) {
                return failed("--listen wants HOST:PORT (an IPv6 host in brackets), not \"" +
                              std::string(value) + "\"");
            }
        } else if (isOption(arg, "--adverts")) {
            if (!takeValue(args, i, "--adverts", value, error)) {
                return failed(error);
            }
            options.advertsFile = std::filesystem::path(value);
        } else if (isOption(arg, "--min-interval")) {
            if (!takeValue(args, i, "--min-interval", value, error)) {
                return failed(error);
            }
            std::optional<std::int64_t> seconds =
                parseNumber<std::int64_t>(value, 0, kMaxMinInterval.count());
            if (!seconds) {
                return failed("--min-interval wants a whole number of seconds from 0 to " +
                              std::to_string(kMaxMinInterval.count()) + ", not \"" +
                              std::string(value) + "\"");
            }
            options.minInterval = std::chrono::seconds{*seconds};
        } else if (isOption(arg, "--max-connections") || isOption(arg, "--max-per-client")) {
            const std::string_view name = arg.substr(0, arg.find('='));
            if (!takeValue(args, i, name, value, error)) {
                return failed(error);
            }
            std::optional<std::size_t> count =
                parseNumber<std::size_t>(value, 1, kMaxConnectionsLimit);
            if (!count) {
                return failed(std::string(name) + " wants a whole number from 1 to " +
                              std::to_string(kMaxConnectionsLimit) + ", not \"" +
                              std::string(value) + "\"");
            }
            (name == "--max-connections" ? options.limits.maxConnections
                                         : options.limits.maxPerClient) = *count;
        } else {
            return failed("unknown argument \"" + std::string(arg) + "\" (see --help)");
        }
    }
    return OptionsResult{options, {}};
}

std::string usageText(const ServerOptions& defaults) {
    return "Usage: kestrova-advert-server [--listen HOST:PORT] [--adverts FILE]\n"
           "                              [--min-interval SECONDS] [--max-connections N]\n"
           "                              [--max-per-client N]\n"
           "\n"
           "Serves adverts to the Kestrova pop-up: GET /advert?time=T and GET /images/NAME;\n"
           "GET /healthz and GET /metrics (Prometheus text) for operators.\n"
           "\n"
           "  --listen HOST:PORT        address to listen on (default " +
           defaults.host + ":" + std::to_string(defaults.port) +
           ";\n"
           "                            port 0 picks a free port, printed at start)\n"
           "  --adverts FILE            the adverts file (default " +
           defaults.advertsFile.string() +
           ")\n"
           "  --min-interval SECONDS    answer 204 to a client whose last display time T\n"
           "                            is less than SECONDS ago (T + SECONDS > now);\n"
           "                            0, the default, turns the cap off\n"
           "  --max-connections N       connections open at once (default " +
           std::to_string(defaults.limits.maxConnections) +
           ")\n"
           "  --max-per-client N        connections open at once from one client address\n"
           "                            (default " +
           std::to_string(defaults.limits.maxPerClient) +
           "); behind a load balancer, more\n"
           "                            than the balancer opens to one server\n"
           "  --help                    show this text\n"
           "\n"
           "SIGHUP reads the adverts file again; a faulty file keeps the adverts in use.\n"
           "Exit codes: 0 after SIGINT or SIGTERM, 1 when the address cannot be used,\n"
           "2 for a wrong argument or an invalid adverts file.\n";
}

}  // namespace kestrova
