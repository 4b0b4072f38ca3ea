// Processes, wrk, single requests and crowds for the server benchmark.
#include "bench/server/LoadTools.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "bench/common/BenchTiming.h"

extern char** environ;

namespace kestrova::bench {

namespace {

sockaddr_in loopback(int port, const std::string& address = "127.0.0.1") {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
    return addr;
}

// A socket bound to `from` and connected to the port, or an invalid one.
FileDescriptor connectFrom(int port, const std::string& from) {
    FileDescriptor sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in source = loopback(0, from);
    const sockaddr_in target = loopback(port);
    if (::bind(sock.get(), reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0 ||
        ::connect(sock.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        return {};
    }
    return sock;
}

long statusField(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const std::string wanted = std::string(field) + ":";
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(wanted)) {
            return std::atol(line.c_str() + wanted.size());
        }
    }
    return -1;
}

std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        // The parent's id is the second field after the command, which is in parentheses.
        std::istringstream rest(text.substr(text.rfind(')') + 1));
        std::string state;
        pid_t ppid = 0;
        if (rest >> state >> ppid && ppid == parent) {
            children.push_back(std::stoi(name));
        }
    }
    return children;
}

// "720.84us", "1.2ms", "2.00s" in milliseconds.
double durationMs(const std::string& text) {
    const double value = std::atof(text.c_str());
    if (text.ends_with("us")) {
        return value / 1000;
    }
    if (text.ends_with("ms")) {
        return value;
    }
    if (text.ends_with("m")) {
        return value * 60'000;
    }
    return value * 1000;
}

std::string runCapture(const std::string& command) {
    std::unique_ptr<FILE, decltype(&::pclose)> pipe(::popen(command.c_str(), "r"), ::pclose);
    std::string output;
    char chunk[4096];
    for (std::size_t got; pipe && (got = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) {
        output.append(chunk, got);
    }
    return output;
}

}  // namespace

std::string onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(std::string(path ? path : "") + ":/usr/sbin:/sbin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/" + name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

int freePort() {
    FileDescriptor sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr = loopback(0);
    socklen_t length = sizeof addr;
    if (::bind(sock.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(sock.get(), reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        return -1;
    }
    return ntohs(addr.sin_port);
}

Process::Process(const std::vector<std::string>& argv, const std::string& outputPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    std::vector<char*> pointers;
    std::vector<std::string> words = argv;
    for (std::string& word : words) {
        pointers.push_back(word.data());
    }
    pointers.push_back(nullptr);
    if (posix_spawn(&m_pid, pointers[0], &actions, nullptr, pointers.data(), environ) != 0) {
        m_pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

Process::~Process() {
    if (m_pid <= 0) {
        return;
    }
    ::kill(m_pid, SIGTERM);
    for (int waited = 0; waited < 500; ++waited) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            return;
        }
        ::usleep(10'000);
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
}

long Process::memoryKiB(const char* field, bool withChildren) const {
    long total = statusField(m_pid, field);
    if (withChildren && total >= 0) {
        for (pid_t child : childrenOf(m_pid)) {
            total += std::max(0L, statusField(child, field));
        }
    }
    return total;
}

bool waitForPort(int port, std::chrono::milliseconds limit) {
    const long long end = nowNs() + limit.count() * 1'000'000LL;
    while (nowNs() < end) {
        if (connectFrom(port, "127.0.0.1").valid()) {
            return true;
        }
        ::usleep(20'000);
    }
    return false;
}

Answer fetch(int port, const std::string& path, const std::string& from) {
    Answer answer;
    const long long start = nowNs();
    FileDescriptor sock = connectFrom(port, from);
    const std::string request =
        "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (!sock.valid() || ::send(sock.get(), request.data(), request.size(), MSG_NOSIGNAL) < 0) {
        return answer;
    }
    std::string reply;
    char buffer[16384];
    for (ssize_t got; (got = ::recv(sock.get(), buffer, sizeof buffer, 0)) > 0;) {
        reply.append(buffer, static_cast<std::size_t>(got));
    }
    answer.ms = double(nowNs() - start) / 1e6;
    if (reply.starts_with("HTTP/1.1 ") && reply.size() >= 12) {
        answer.status = std::atoi(reply.c_str() + 9);
    }
    const std::size_t body = reply.find("\r\n\r\n");
    answer.body = body == std::string::npos ? "" : reply.substr(body + 4);
    return answer;
}

WrkFigures runWrk(const std::string& wrk, const std::string& url, int connections, int seconds) {
    const std::string output =
        runCapture(wrk + " -t1 -c" + std::to_string(connections) + " -d" + std::to_string(seconds) +
                   "s --timeout 2s --latency '" + url + "' 2>&1");
    WrkFigures figures;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string first, second, third;
        words >> first >> second >> third;
        if (first == "Latency" && std::isdigit(static_cast<unsigned char>(second[0]))) {
            std::string max;
            words >> max;  // "Latency AVG STDEV MAX +/-STDEV"
            figures.maxMs = durationMs(max);
        } else if (first == "50%") {
            figures.p50Ms = durationMs(second);
        } else if (first == "90%") {
            figures.p90Ms = durationMs(second);
        } else if (first == "99%") {
            figures.p99Ms = durationMs(second);
        } else if (second == "requests" && third == "in") {
            figures.requests = std::atol(first.c_str());
        } else if (first == "Requests/sec:") {
            figures.requestsPerSecond = std::atof(second.c_str());
        } else if (first == "Non-2xx") {
            figures.non2xx = std::atol(line.substr(line.rfind(' ') + 1).c_str());
        } else if (first == "Socket") {
            // "Socket errors: connect 0, read 0, write 0, timeout 0"
            long connect = 0, read = 0, write = 0, timeout = 0;
            std::sscanf(line.c_str(),
                        " Socket errors: connect %ld, read %ld, write %ld, timeout %ld", &connect,
                        &read, &write, &timeout);
            figures.socketErrors = connect + read + write + timeout;
            figures.timeouts = timeout;
        }
    }
    if (figures.requests < 0) {
        std::fprintf(stderr, "wrk said:\n%s\n", output.c_str());
    }
    return figures;
}

Crowd::Crowd(int port, int idle, int slow, std::chrono::milliseconds pause, int perAddress,
             std::size_t headerBytes) {
    int made = 0;
    auto nextAddress = [&] {
        const int block = made++ / perAddress;
        return "127.1." + std::to_string(block / 250) + "." + std::to_string(1 + block % 250);
    };
    for (int i = 0; i < idle; ++i) {
        m_idle.push_back(connectFrom(port, nextAddress()));
    }
    std::string start = "GET /advert?time=0 HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    while (start.size() < headerBytes) {
        start += "X-Fill: " + std::string(100, 'f') + "\r\n";
    }
    start += "X-Slow: ";
    for (int i = 0; i < slow; ++i) {
        m_slow.push_back(connectFrom(port, nextAddress()));
        ::send(m_slow.back().get(), start.data(), start.size(), MSG_NOSIGNAL);
    }
    m_trickle = std::thread([this, pause] {
        while (m_bTrickling) {
            for (FileDescriptor& sock : m_slow) {
                ::send(sock.get(), "s", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            }
            for (auto slept = std::chrono::milliseconds(0); slept < pause && m_bTrickling;
                 slept += std::chrono::milliseconds(50)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
    });
}

Crowd::~Crowd() {
    m_bTrickling = false;
    m_trickle.join();
}

int Crowd::closed(std::vector<FileDescriptor>& sockets) {
    int count = 0;
    char buffer[4096];
    for (const FileDescriptor& sock : sockets) {
        ssize_t got = 0;
        while ((got = ::recv(sock.get(), buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
        }
        count += !sock.valid() || got == 0 || (got < 0 && errno != EAGAIN);
    }
    return count;
}

int Crowd::closedIdle() {
    return closed(m_idle);
}
int Crowd::closedSlow() {
    return closed(m_slow);
}

}  // namespace kestrova::bench
