// A private session bus for a test, on a socket of its own, with the accessibility bus
// launcher on it when asked: what a desktop session provides, without the machine's own
// session. While it lives, DBUS_SESSION_BUS_ADDRESS names it and XDG_CONFIG_HOME and
// XDG_CACHE_HOME name folders of its own (the desktop settings it serves, dconf's among
// them), so programs the test starts use it and the user's settings stay untouched.
// Everything stops with SIGTERM at the end of the scope, so services the bus started end
// with it.
#pragma once

#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/Child.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"

namespace kestrova::test {

class SessionBus {
public:
    enum Accessibility { kWithoutAccessibility, kAccessibilityOn };

    explicit SessionBus(Accessibility accessibility = kWithoutAccessibility) {
        for (const char* name : kVariables) {
            const char* old = std::getenv(name);
            m_previous.emplace_back(old ? std::optional<std::string>(old) : std::nullopt);
        }
        ::setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (m_dir / "cache").c_str(), 1);
        m_daemon.emplace(std::vector<std::string>{"dbus-daemon", "--session", "--nofork",
                                                  "--address=" + address()});
        struct stat st {};
        m_ready = waitFor([&] { return ::stat((m_dir / "bus").c_str(), &st) == 0; });
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address().c_str(), 1);
        if (m_ready && accessibility == kAccessibilityOn) {
            m_launcher.emplace(std::vector<std::string>{"/usr/libexec/at-spi-bus-launcher",
                                                        "--launch-immediately"});
            m_ready = waitFor([] { return call("org.a11y.Bus.GetAddress"); }) &&
                      call(
                          "org.freedesktop.DBus.Properties.Set string:org.a11y.Status "
                          "string:IsEnabled variant:boolean:true");
        }
    }
    ~SessionBus() {
        for (auto* child : {&m_launcher, &m_daemon}) {
            if (*child) {
                (*child)->signal(SIGTERM);
                (*child)->wait(std::chrono::seconds(5));
            }
        }
        for (size_t i = 0; i < m_previous.size(); ++i) {
            if (m_previous[i])
                ::setenv(kVariables[i], m_previous[i]->c_str(), 1);
            else
                ::unsetenv(kVariables[i]);
        }
    }
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    bool ready() const { return m_ready; }
    std::string address() const { return "unix:path=" + (m_dir / "bus").string(); }

private:
    // A call to the accessibility bus launcher; true when it answered.
    static bool call(const std::string& method) {
        bool ok = false;
        runCommand("dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus " + method +
                       " >/dev/null 2>&1",
                   &ok);
        return ok;
    }

    static constexpr const char* kVariables[] = {"DBUS_SESSION_BUS_ADDRESS", "XDG_CONFIG_HOME",
                                                 "XDG_CACHE_HOME"};

    TempDir m_dir;
    std::vector<std::optional<std::string>> m_previous;
    std::optional<Child> m_daemon, m_launcher;
    bool m_ready = false;
};

}  // namespace kestrova::test
