// The crash box process: prepared at installation, started with a bare clone and execve
// when a crash is reported, and recognised at the start of the fresh process.
#include "platform/crash/CrashBox.h"

#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>

#include <utf8.h>

#include "platform/crash/ExceptionFilter.h"

extern char** environ;

namespace kestrova {
namespace {

constexpr char kTextVariable[] = "KESTROVA_CRASH_BOX_TEXT=";
constexpr char kCaptionVariable[] = "KESTROVA_CRASH_BOX_CAPTION=";
constexpr size_t kMaxEnvironment = 1024;
constexpr size_t kMaxValueBytes = 4096;
// How often the crashed process looks whether the box has gone.
constexpr long kWaitPollMs = 20;

// Filled at installation; only the two value buffers change when a crash is reported.
struct Prepared {
    char executable[4096];
    char* argv[2];
    char* envp[kMaxEnvironment + 3];
    size_t envCount;
    char text[kMaxValueBytes];
    char caption[kMaxValueBytes];
};
Prepared g_prepared;

bool startsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// Writes `prefix` and the UTF-8 form of `wide` into `out`; cut at a whole character.
size_t encodeVariable(char* out, size_t capacity, const char* prefix, const wchar_t* wide) {
    size_t length = std::strlen(prefix);
    std::memcpy(out, prefix, length);
    for (; wide != nullptr && *wide != L'\0'; ++wide) {
        char32_t c = static_cast<char32_t>(*wide);
        if (c > 0x10ffff || (c >= 0xd800 && c < 0xe000)) {
            c = 0xfffd;
        }
        char bytes[4];
        size_t count = 0;
        if (c < 0x80) {
            bytes[count++] = static_cast<char>(c);
        } else if (c < 0x800) {
            bytes[count++] = static_cast<char>(0xc0 | c >> 6);
            bytes[count++] = static_cast<char>(0x80 | (c & 0x3f));
        } else if (c < 0x10000) {
            bytes[count++] = static_cast<char>(0xe0 | c >> 12);
            bytes[count++] = static_cast<char>(0x80 | (c >> 6 & 0x3f));
            bytes[count++] = static_cast<char>(0x80 | (c & 0x3f));
        } else {
            bytes[count++] = static_cast<char>(0xf0 | c >> 18);
            bytes[count++] = static_cast<char>(0x80 | (c >> 12 & 0x3f));
            bytes[count++] = static_cast<char>(0x80 | (c >> 6 & 0x3f));
            bytes[count++] = static_cast<char>(0x80 | (c & 0x3f));
        }
        if (length + count >= capacity) {
            break;
        }
        std::memcpy(out + length, bytes, count);
        length += count;
    }
    out[length] = '\0';
    return length;
}

void writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written <= 0) {
            return;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
}

std::wstring decodeUtf8(const char* text) {
    std::string valid;
    const std::string raw(text);
    utf8::replace_invalid(raw.begin(), raw.end(), std::back_inserter(valid));
    std::wstring wide;
    utf8::utf8to32(valid.begin(), valid.end(), std::back_inserter(wide));
    return wide;
}

// Waits for the box process, polling, for at most limitMs; a box still up then is killed,
// so that the crashed process ends however long its box stays. The child's pid, or -1
// when it could not be waited for.
long waitBounded(pid_t child, int& status, long limitMs) {
    timespec start{};
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        const long waited = ::waitpid(child, &status, WNOHANG);
        if (waited != 0 && !(waited < 0 && errno == EINTR)) {
            return waited;
        }
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const long elapsedMs =
            (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (elapsedMs >= limitMs) {
            ::kill(child, SIGKILL);
            long reaped = -1;
            do {
                reaped = ::waitpid(child, &status, 0);
            } while (reaped < 0 && errno == EINTR);
            // Shown and left standing: the text was on screen, so none goes to stderr.
            status = 0;
            return reaped;
        }
        const timespec pause{0, kWaitPollMs * 1000000L};
        ::nanosleep(&pause, nullptr);
    }
}

}  // namespace

void prepareCrashBox() {
    getModuleFileName(g_prepared.executable, sizeof g_prepared.executable);
    g_prepared.argv[0] = g_prepared.executable;
    g_prepared.argv[1] = nullptr;
    // The strings of the start-up environment stay valid for the life of the process.
    size_t count = 0;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (count < kMaxEnvironment && !startsWith(*entry, "KESTROVA_CRASH_BOX_")) {
            g_prepared.envp[count++] = *entry;
        }
    }
    g_prepared.envCount = count;
    g_prepared.envp[count] = nullptr;
}

int runCrashBoxProcess(const wchar_t* text, const wchar_t* caption, long waitLimitMs) {
    const size_t textLength =
        encodeVariable(g_prepared.text, sizeof g_prepared.text, kTextVariable, text);
    encodeVariable(g_prepared.caption, sizeof g_prepared.caption, kCaptionVariable, caption);
    const size_t count = g_prepared.envCount;
    g_prepared.envp[count] = g_prepared.text;
    g_prepared.envp[count + 1] = g_prepared.caption;
    g_prepared.envp[count + 2] = nullptr;

    // A bare fork: the C library's fork handlers may take locks a crashed thread holds.
    const long child = ::syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
    if (child == 0) {
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (g_prepared.executable[0] != '\0') {
            ::execve("/proc/self/exe", g_prepared.argv, g_prepared.envp);
        }
        _exit(127);
    }
    int status = 0;
    const long waited =
        child > 0 ? waitBounded(static_cast<pid_t>(child), status, waitLimitMs) : -1;
    if (waited < 0 || !WIFEXITED(status) || WEXITSTATUS(status) == 127) {
        // No box could be shown; the text still reaches whoever reads standard error.
        const size_t prefix = sizeof kTextVariable - 1;
        writeAll(STDERR_FILENO, g_prepared.text + prefix, textLength - prefix);
        writeAll(STDERR_FILENO, "\n", 1);
        return -1;
    }
    return WEXITSTATUS(status);
}

std::optional<CrashBoxRequest> readCrashBoxRequest() {
    const char* text = std::getenv("KESTROVA_CRASH_BOX_TEXT");
    if (text == nullptr) {
        return std::nullopt;
    }
    const char* caption = std::getenv("KESTROVA_CRASH_BOX_CAPTION");
    return CrashBoxRequest{decodeUtf8(text), decodeUtf8(caption != nullptr ? caption : "")};
}

void writeCrashBoxTextToStderr(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) {
        const auto value = static_cast<char32_t>(c);
        if (value <= 0x10ffff && (value < 0xd800 || value >= 0xe000)) {
            utf8::append(value, std::back_inserter(narrow));
        } else {
            utf8::append(char32_t{0xfffd}, std::back_inserter(narrow));
        }
    }
    narrow += '\n';
    writeAll(STDERR_FILENO, narrow.data(), narrow.size());
}

}  // namespace kestrova
