// The command line of kestrova-advert-server.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "server/ServerLimits.h"

namespace kestrova {

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 0;
    std::filesystem::path advertsFile;
    std::chrono::seconds minInterval{0};
    ServerLimits limits;
    bool help = false;
};

// Either options or a message saying which argument is wrong and why.
struct OptionsResult {
    std::optional<ServerOptions> options;
    std::string error;
};

// args excludes the program name. defaults supplies the port and adverts file used when
// their options are absent.
OptionsResult parseServerOptions(std::span<const std::string_view> args,
                                 const ServerOptions& defaults);

// The port of an http URL such as "http://127.0.0.1:8642/advert": the explicit one, or 80.
// Empty when the URL has none that is valid.
std::optional<int> portOfUrl(std::string_view url);

// "HOST:PORT", "[V6]:PORT" or ":PORT" (meaning the default host). Port 0 means "any free".
bool parseListenAddress(std::string_view text, std::string& host, int& port);

std::string usageText(const ServerOptions& defaults);

}  // namespace kestrova
