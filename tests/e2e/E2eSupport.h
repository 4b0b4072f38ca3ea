// What the end-to-end tests drive the program with: the advert server on a port the
// kernel picks (the program is told it in KESTROVA_E2E_ENDPOINT), a private copy of the program
// with a recording link opener, and a view of the X display (windows by name, their geometry and
// pixels, every window mapped).
#pragma once

#include <httplib.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/net/LoopbackServers.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"

// Xlib stays out of this header: its macros (Success, None, ...) break the HTTP library's.
struct _XDisplay;

namespace kestrova::e2e {

using Window = unsigned long;  // an X window id

using Clock = std::chrono::steady_clock;

// Answers "/advert" with whatever the test set last and "/pic.png" with the picture.
class AdvertServer {
public:
    AdvertServer();
    ~AdvertServer();
    // The "/advert" address, as the program is to ask it.
    std::string endpoint() const;

    void answer(int status, std::string body);
    void setPicture(std::string bytes);
    // From now on "/pic.png" sends the start of the picture, then nothing more for as long
    // as the server lives (at most a minute).
    void stallPicture();
    // How many times "/pic.png" was asked for.
    int pictureRequests();
    // Request targets of "/advert", oldest first.
    std::vector<std::string> targets();
    // When the last "/advert" answer was handed over.
    Clock::time_point lastAnswer();
    std::string pictureUrl() const;

private:
    std::mutex m_mutex;
    int m_status = 404;
    std::string m_body;
    std::string m_picture;
    std::vector<std::string> m_targets;
    Clock::time_point m_lastAnswer;
    bool m_stall = false;
    int m_pictureRequests = 0;
    std::atomic<bool> m_stopping{false};
    test::LoopbackHttpServer m_http;  // last: it stops before what its handlers use goes
};

// An X server of the test's own (Xvfb on a free display, no window manager), for what must
// not happen to the shared one: being killed.
class PrivateXServer {
public:
    PrivateXServer();
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    // ":N", or empty when it did not start.
    const std::string& display() const { return m_display; }
    void kill();

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// A copy of the program in a folder of its own, run with a private TMPDIR and an
// "xdg-open" first on PATH that appends its argument to "opened.txt".
class Sandbox {
public:
    Sandbox();
    const std::filesystem::path& dir() const { return m_dir.path(); }
    std::filesystem::path program() const { return m_dir / "kestrova-advert"; }
    std::filesystem::path log() const { return m_dir / "tmp/Kestrova/RazOdezerivozi.log"; }

    // Starts a program with the sandbox's environment (on display when one is given); its
    // standard error goes to "stderr.txt".
    pid_t start(const std::filesystem::path& program, const std::vector<std::string>& args = {},
                const std::string& display = "");
    pid_t start() { return start(program()); }

private:
    test::TempDir m_dir;
};

// The wait status once the process has ended, or nothing when it runs past limit (it is
// then killed).
std::optional<int> waitForExit(pid_t pid, std::chrono::milliseconds limit);

using test::waitFor;

using test::readFile;
using test::writeFile;
inline std::string run(const std::string& command) {
    return test::runCommand(command);
}

struct Geometry {
    int x = 0, y = 0, w = 0, h = 0;
    bool viewable = false;
};

// A connection to the display (DISPLAY's, unless one is named), watching every window
// being mapped from its creation on.
class Screen {
public:
    explicit Screen(const std::string& display = "");
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    // The first window whose name is exactly name, or 0.
    Window find(const std::string& name);
    Geometry geometry(Window w);
    // Pixels of a window as it is on screen.
    std::vector<std::uint32_t> pixels(Window w);
    // Pixels of a part of the screen, row by row; none when it is not all on the screen.
    std::vector<std::uint32_t> area(int x, int y, int w, int h);
    // Windows mapped since the connection was made (or the last call).
    int mapsSince();
    void movePointerAway();
    // xdotool on this display.
    std::string xdotool(const std::string& arguments) const;

private:
    _XDisplay* m_display;
    std::string m_name;
};

}  // namespace kestrova::e2e
