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
        m_daemon.emplace(std::vector<std::string>{"dbus-daemon", "--session", "--nofork",
                                                  "--address=" + address()});
        struct stat st {};
        m_ready = waitFor([&] { return ::stat((m_dir / "bus").c_str(), &st) == 0; });
        m_address.emplace("DBUS_SESSION_BUS_ADDRESS", address());
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

    TempDir m_dir;
    ScopedEnv m_config{"XDG_CONFIG_HOME", (m_dir / "config").string()};
    ScopedEnv m_cache{"XDG_CACHE_HOME", (m_dir / "cache").string()};
    std::optional<ScopedEnv> m_address;
    std::optional<Child> m_daemon, m_launcher;
    bool m_ready = false;
};

}  // namespace kestrova::test
