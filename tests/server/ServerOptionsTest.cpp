// The command line: listen addresses, the default port taken from the pop-up's endpoint,
// and arguments that must be refused rather than half-understood.
#include <gtest/gtest.h>

#include <vector>

#include "server/ServerOptions.h"

namespace kestrova {
namespace {

OptionsResult parse(std::vector<std::string_view> args) {
    ServerOptions defaults;
    defaults.port = 8642;
    defaults.advertsFile = "samples/adverts.json";
    return parseServerOptions(args, defaults);
}

TEST(ServerOptions, PortOfTheCompiledInEndpoint) {
    struct Case {
        const char* url;
        std::optional<int> port;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8642/advert", 8642},
        {"http://adverts.example.org/advert", 80},
        {"http://[::1]:9000/advert", 9000},
        {"http://host.example:70000/advert", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(portOfUrl(c.url), c.port);
    }
}

TEST(ServerOptions, ListenAddresses) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        int port;
    };
    const Case cases[] = {
        {"0.0.0.0:80", true, "0.0.0.0", 80}, {"[::1]:8642", true, "::1", 8642},
        {":9000", true, "127.0.0.1", 9000},  // keeps the default host
        {"::1:8642", false, "", 0},          // ambiguous without brackets
        {"127.0.0.1", false, "", 0},         {"127.0.0.1:65536", false, "", 0},
        {"127.0.0.1:80x", false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string arg = std::string("--listen=") + c.text;
        OptionsResult result = parse({arg});
        ASSERT_EQ(bool(result.options), c.ok) << result.error;
        if (c.ok) {
            EXPECT_EQ(result.options->host, c.host);
            EXPECT_EQ(result.options->port, c.port);
        }
    }
}

TEST(ServerOptions, RefusesWhatItCannotUse) {
    const std::vector<std::vector<std::string_view>> cases = {
        {"--min-interval", "-1"},
        {"--min-interval", "99999999999"},
        {"--min-interval"},
        {"--listen=nonsense"},
        {"--max-connections", "0"},
        {"--max-per-client=lots"},
        {"--verbose"},
        {"adverts.json"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        OptionsResult result = parse(args);
        EXPECT_FALSE(result.options);
        EXPECT_FALSE(result.error.empty());
    }
}

TEST(ServerOptions, ConnectionLimits) {
    OptionsResult result = parse({"--max-connections=20000", "--max-per-client", "500"});
    ASSERT_TRUE(result.options) << result.error;
    EXPECT_EQ(result.options->limits.maxConnections, 20000u);
    EXPECT_EQ(result.options->limits.maxPerClient, 500u);
}

}  // namespace
}  // namespace kestrova
