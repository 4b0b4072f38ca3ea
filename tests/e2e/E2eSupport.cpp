// The end-to-end harness.
#include "E2eSupport.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace kestrova::e2e {

namespace fs = std::filesystem;

AdvertServer::AdvertServer() {
    httplib::Server& server = m_http.server();
    server.Get("/advert", [this](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(m_mutex);
        m_targets.push_back(request.target);
        response.status = m_status;
        response.set_content(m_body, "application/json");
        m_lastAnswer = Clock::now();
    });
    server.Get("/pic.png", [this](const httplib::Request&, httplib::Response& response) {
        std::lock_guard lock(m_mutex);
        ++m_pictureRequests;
        if (!m_stall) {
            response.set_content(m_picture, "image/png");
            return;
        }
        response.set_content_provider(
            m_picture.size(), "image/png", [this](size_t, size_t, httplib::DataSink& sink) {
                sink.write(m_picture.data(), m_picture.size() / 2);
                for (int i = 0; i < 6000 && !m_stopping; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                return false;
            });
    });
    m_http.start();
}

AdvertServer::~AdvertServer() {
    // Lets a stalled picture end; the server stops with m_http.
    m_stopping = true;
}

void AdvertServer::answer(int status, std::string body) {
    std::lock_guard lock(m_mutex);
    m_status = status;
    m_body = std::move(body);
}

void AdvertServer::setPicture(std::string bytes) {
    std::lock_guard lock(m_mutex);
    m_picture = std::move(bytes);
}

void AdvertServer::stallPicture() {
    std::lock_guard lock(m_mutex);
    m_stall = true;
}

int AdvertServer::pictureRequests() {
    std::lock_guard lock(m_mutex);
    return m_pictureRequests;
}

std::vector<std::string> AdvertServer::targets() {
    std::lock_guard lock(m_mutex);
    return m_targets;
}

Clock::time_point AdvertServer::lastAnswer() {
    std::lock_guard lock(m_mutex);
    return m_lastAnswer;
}

std::string AdvertServer::endpoint() const {
    return m_http.url("/advert");
}

std::string AdvertServer::pictureUrl() const {
    return m_http.url("/pic.png");
}

Sandbox::Sandbox() {
    fs::copy_file(E2E_PROGRAM, program());
    fs::create_directories(m_dir / "bin");
    fs::create_directories(m_dir / "tmp");
    writeFile(m_dir / "bin/xdg-open",
              "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + (m_dir / "opened.txt").string() + "'\n");
    fs::permissions(m_dir / "bin/xdg-open", fs::perms::owner_all);
}

pid_t Sandbox::start(const fs::path& program, const std::vector<std::string>& args,
                     const std::string& display) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        if (variable.starts_with("PATH=")) {
            env.push_back("PATH=" + (m_dir / "bin").string() + ":" + variable.substr(5));
        } else if (!variable.starts_with("TMPDIR=") &&
                   !(variable.starts_with("DISPLAY=") && !display.empty())) {
            env.push_back(variable);
        }
    }
    env.push_back("TMPDIR=" + (m_dir / "tmp").string());
    if (!display.empty()) {
        env.push_back("DISPLAY=" + display);
    }
    std::vector<std::string> argv{program.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argp, envp;
    for (auto& a : argv)
        argp.push_back(a.data());
    for (auto& e : env)
        envp.push_back(e.data());
    argp.push_back(nullptr);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string errPath = (m_dir / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::optional<int> waitForExit(pid_t pid, std::chrono::milliseconds limit) {
    int status = 0;
    const bool ended = waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, limit);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return std::nullopt;
    }
    return status;
}

// Windows come and go while the tests look at them; a vanished one reads as unmapped.
int ignoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

PrivateXServer::PrivateXServer() {
    // -displayfd picks a free display and writes its number; a server starting elsewhere at
    // the same moment can take the same one, so a lost race is tried again.
    for (int attempt = 0; attempt < 5 && m_display.empty(); ++attempt) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 3);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> argv{"Xvfb",         "-displayfd", "3",   "-screen",    "0",
                                      "1920x1080x24", "-nolisten",  "tcp", "+extension", "RANDR"};
        std::vector<char*> pointers;
        for (std::string& a : argv)
            pointers.push_back(a.data());
        pointers.push_back(nullptr);
        if (posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, pointers.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        std::string number;
        char c = 0;
        pollfd readable{ends[0], POLLIN, 0};
        while (m_pid > 0 && ::poll(&readable, 1, 10000) == 1 && ::read(ends[0], &c, 1) == 1 &&
               c != '\n') {
            number += c;
        }
        ::close(ends[0]);
        if (!number.empty()) {
            m_display = ":" + number;
        } else {
            kill();
        }
    }
}

PrivateXServer::~PrivateXServer() {
    kill();
}

void PrivateXServer::kill() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

Screen::Screen(const std::string& display)
    : m_display(XOpenDisplay(display.empty() ? nullptr : display.c_str())), m_name(display) {
    XSetErrorHandler(ignoreXErrors);
    if (m_display != nullptr) {
        XSelectInput(m_display, DefaultRootWindow(m_display), SubstructureNotifyMask);
        XSync(m_display, False);
    }
}

Screen::~Screen() {
    if (m_display != nullptr) {
        XCloseDisplay(m_display);
    }
}

std::string Screen::xdotool(const std::string& arguments) const {
    return run((m_name.empty() ? "" : "DISPLAY=" + m_name + " ") + "xdotool " + arguments +
               " 2>/dev/null");
}

Window Screen::find(const std::string& name) {
    const std::string out = xdotool("search --name '^" + name + "$'");
    return out.empty() ? 0 : std::strtoul(out.c_str(), nullptr, 10);
}

Geometry Screen::geometry(Window w) {
    Geometry g;
    XWindowAttributes attributes{};
    Window child = 0;
    if (m_display == nullptr || w == 0 || XGetWindowAttributes(m_display, w, &attributes) == 0) {
        return g;
    }
    XTranslateCoordinates(m_display, w, DefaultRootWindow(m_display), 0, 0, &g.x, &g.y, &child);
    g.w = attributes.width;
    g.h = attributes.height;
    g.viewable = attributes.map_state == IsViewable;
    return g;
}

std::vector<std::uint32_t> Screen::pixels(Window w) {
    const Geometry g = geometry(w);
    return g.viewable ? area(g.x, g.y, g.w, g.h) : std::vector<std::uint32_t>{};
}

std::vector<std::uint32_t> Screen::area(int x, int y, int w, int h) {
    std::vector<std::uint32_t> out;
    XImage* image =
        XGetImage(m_display, DefaultRootWindow(m_display), x, y, static_cast<unsigned>(w),
                  static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return out;
    }
    for (int row = 0; row < h; ++row) {
        for (int column = 0; column < w; ++column) {
            out.push_back(static_cast<std::uint32_t>(XGetPixel(image, column, row)));
        }
    }
    XDestroyImage(image);
    return out;
}

int Screen::mapsSince() {
    int maps = 0;
    XSync(m_display, False);
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        maps += event.type == MapNotify ? 1 : 0;
    }
    return maps;
}

void Screen::movePointerAway() {
    // Without --sync: that waits for a motion, which never comes when the pointer is
    // already there.
    run("xdotool mousemove 0 0");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

}  // namespace kestrova::e2e
