// posix_spawnp with a per-child reaper thread. A SIGCHLD handler would have to guess
// which children are ours and could steal another part's exit status; waiting for one
// known pid cannot.
#include "platform/shell/Spawn.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

#include "platform/crash/ExceptionFilter.h"

extern char** environ;

namespace kestrova {
namespace {

// Owners for the two spawn attribute objects, so every early return releases them.
struct SpawnAttr {
    posix_spawnattr_t attr;
    bool ok;
    SpawnAttr() : ok(posix_spawnattr_init(&attr) == 0) {}
    ~SpawnAttr() {
        if (ok)
            posix_spawnattr_destroy(&attr);
    }
    SpawnAttr(const SpawnAttr&) = delete;
    SpawnAttr& operator=(const SpawnAttr&) = delete;
};

struct FileActions {
    posix_spawn_file_actions_t actions;
    bool ok;
    FileActions() : ok(posix_spawn_file_actions_init(&actions) == 0) {}
    ~FileActions() {
        if (ok)
            posix_spawn_file_actions_destroy(&actions);
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
};

// The opener must not inherit the crash reporter's handlers (ignored signals survive
// exec), a blocked mask, the X connection or the log file.
bool prepare(SpawnAttr& attr, FileActions& files) {
    if (!attr.ok || !files.ok) {
        return false;
    }
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID;
    return posix_spawnattr_setflags(&attr.attr, flags) == 0 &&
           posix_spawnattr_setsigdefault(&attr.attr, &all) == 0 &&
           posix_spawnattr_setsigmask(&attr.attr, &none) == 0 &&
           posix_spawn_file_actions_addclosefrom_np(&files.actions, 3) == 0;
}

void reap(pid_t pid) {
    kestrova::ThreadSignalStack signalStack;
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

std::optional<pid_t> spawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) {
        return std::nullopt;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    SpawnAttr attr;
    FileActions files;
    if (!prepare(attr, files)) {
        return std::nullopt;
    }
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &files.actions, &attr.attr, args.data(), environ) != 0) {
        return std::nullopt;
    }
    try {
        std::thread(reap, pid).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the child still runs, and stays a zombie only until exit.
    }
    return pid;
}

}  // namespace kestrova
