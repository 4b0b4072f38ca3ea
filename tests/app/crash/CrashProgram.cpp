// A program that links the crash reporter as the product does and misbehaves on command:
//
//   null-main | null-thread | abort | recursion   crash in that way
//   recursion-worker   overflow the stack of a worker thread of the logger's kind
//   wait           wait for a signal
//   pure-virtual   call a pure virtual function inside a catch-all and report what arrived
//   exit           end normally; the dispositions are checked after the reporter is undone
//
// Before crashing it prints "tid=<id>" of the thread that will crash.
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "app/CrashReporter.h"
#include "log/ThreadHelper.h"

// Outside the anonymous namespace and read back through a volatile, so the compiler can
// neither list every class derived from Shape nor know the object's type at the call.
struct Shape;
Shape* volatile g_underConstruction = nullptr;

struct Shape {
    // While Shape's constructor runs the object is only a Shape, whose area is pure.
    Shape() {
        g_underConstruction = this;
        std::printf("area=%f\n", callArea());
    }
    virtual ~Shape() = default;
    virtual double area() const = 0;
    static double callArea();
};

double Shape::callArea() {
    return g_underConstruction->area();
}

struct Square : Shape {
    double area() const override { return 1.0; }
};

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

// The fault address the tests look for in the dump: the member's offset from null.
struct Record {
    char before[0x28];
    int value;
};
Record* volatile g_nothing = nullptr;
volatile int g_depthLimit = 0;

void announceThread() {
    std::printf("tid=%ld\n", static_cast<long>(::syscall(SYS_gettid)));
    std::fflush(stdout);
}

[[gnu::noinline]] void crashByNullWrite() {
    announceThread();
    g_nothing->value = 1;
}

[[gnu::noinline]] void secondThreadBody() {
    crashByNullWrite();
}

[[gnu::noinline]] void crashByAbort() {
    announceThread();
    std::abort();
}

// Not a tail call and not provably endless, so the compiler keeps every frame.
[[gnu::noinline]] int recurseWithoutEnd(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (g_depthLimit != 0 && depth > g_depthLimit) {
        return frame[0];
    }
    return recurseWithoutEnd(depth + 1) + frame[0];
}

// A worker thread started the way the program starts its own (the logger's writer).
class RecursingWorker : public ThreadHelper {
public:
    void Run() override {
        announceThread();
        recurseWithoutEnd(0);
    }
    void runToTheEnd() {
        m_hThread = std::thread(&ThreadHelper::ThreadProc, this);
        m_hThread.join();
    }
};

int callPureVirtual() {
    try {
        Square square;
        std::puts("no exception");
    } catch (const std::invalid_argument& error) {
        std::printf("invalid_argument message=[%s]\n", error.what());
    } catch (...) {
        std::puts("another exception");
    }
    return 0;
}

// With "exit", main proves the reporter was installed ...
bool reporterInstalled() {
    for (int signalNumber : kFatalSignals) {
        struct sigaction current {};
        ::sigaction(signalNumber, nullptr, &current);
        if ((current.sa_flags & SA_ONSTACK) == 0 || current.sa_handler == SIG_DFL ||
            current.sa_handler == SIG_IGN) {
            return false;
        }
    }
    stack_t stack{};
    ::sigaltstack(nullptr, &stack);
    return (stack.ss_flags & SS_DISABLE) == 0;
}

bool g_checkAtExit = false;

// ... and this runs after every static object is destroyed, the reporter's undo included.
// The test starts the program with SIGBUS and SIGFPE ignored; nothing else is set.
[[gnu::destructor]] void checkDispositionsAtExit() {
    if (!g_checkAtExit) {
        return;
    }
    bool restored = true;
    for (int signalNumber : kFatalSignals) {
        struct sigaction current {};
        ::sigaction(signalNumber, nullptr, &current);
        const bool ignoredBefore = signalNumber == SIGBUS || signalNumber == SIGFPE;
        restored = restored && current.sa_handler == (ignoredBefore ? SIG_IGN : SIG_DFL);
    }
    stack_t stack{};
    ::sigaltstack(nullptr, &stack);
    restored = restored && (stack.ss_flags & SS_DISABLE) != 0;
    std::printf("dispositions at exit: %s\n", restored ? "restored" : "not restored");
    std::fflush(stdout);
    if (!restored) {
        ::_exit(3);
    }
}

}  // namespace

int main(int argc, char** argv) {
    kestrova::showRequestedCrashBox();
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "null-main") {
        crashByNullWrite();
    } else if (command == "null-thread") {
        std::thread second(secondThreadBody);
        second.join();
    } else if (command == "abort") {
        crashByAbort();
    } else if (command == "recursion") {
        announceThread();
        return recurseWithoutEnd(0);
    } else if (command == "recursion-worker") {
        RecursingWorker().runToTheEnd();
    } else if (command == "wait") {
        announceThread();
        for (;;) {
            ::pause();
        }
    } else if (command == "pure-virtual") {
        return callPureVirtual();
    } else if (command == "exit") {
        g_checkAtExit = true;
        std::printf("installed: %s\n", reporterInstalled() ? "yes" : "no");
        return 0;
    }
    std::fprintf(stderr, "unknown command [%s]\n", command.c_str());
    return 2;
}
