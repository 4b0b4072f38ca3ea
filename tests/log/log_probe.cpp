// Runs one logger in a process of its own, so that a test can run it as another user or
// with limits it would not want for itself:
//   log_probe [--no-threads] DIR [LINE ...]
// initialises a logger on DIR, queues each LINE, stops it and then prints "stopped=1" (or 0
// when there was no writer to stop) on a line of its own. --no-threads first lowers the
// process limit so that no thread can be started.
#include <sys/resource.h>

#include <cstdio>
#include <cstring>

#include "log/CLog.h"

int main(int argc, char** argv) {
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--no-threads") == 0) {
        // The limit counts every process and thread of the user, this one included.
        const rlimit none{1, 1};
        if (setrlimit(RLIMIT_NPROC, &none) != 0) {
            return 2;
        }
        ++first;
    }
    if (argc <= first) {
        std::fputs("usage: log_probe [--no-threads] DIR [LINE ...]\n", stderr);
        return 2;
    }
    CLog log;
    log.Init(argv[first]);
    for (int i = first + 1; i < argc; ++i) {
        log.Append(argv[i]);
    }
    const bool stopped = log.Stop();
    std::printf("\nstopped=%d", stopped ? 1 : 0);
    return 0;
}
