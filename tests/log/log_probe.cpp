// log_probe [--no-threads] DIR [LINE ...]: one logger in a process of its own, so that a test
// can run it as another user or with no thread to spare. Initialises it on DIR, queues each
// LINE, stops it and prints "stopped=1" (0 when there was no writer to stop).
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
        return 2;
    }
    CLog log;
    log.Init(argv[first]);
    for (int i = first + 1; i < argc; ++i) {
        log.Append(argv[i]);
    }
    std::printf("\nstopped=%d", log.Stop() ? 1 : 0);
    return 0;
}
