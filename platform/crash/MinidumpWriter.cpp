// Lays out the dump: header and directory first, then one stream after another, and the
// directory patched in at the end once every stream's place is known.
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "platform/crash/CpuContext.h"
#include "platform/crash/DumpModules.h"
#include "platform/crash/DumpOutput.h"
#include "platform/crash/MiniDump.h"
#include "platform/crash/MinidumpFormat.h"
#include "platform/crash/ProcMaps.h"

using namespace kestrova;
using namespace kestrova::minidump;

namespace {

constexpr size_t kStreamCount = 8;
// The crashing thread's stack is saved from a little below the stack pointer (the red
// zone) up to this many bytes above it, within its mapping.
constexpr uint64_t kStackBelow = 128;
constexpr uint64_t kStackAbove = 64 * 1024;
// After a stack overflow the stack pointer lies below the stack's lowest page, in the gap
// the kernel keeps free for the main thread's growth or in another thread's guard page;
// the saved window then starts at that lowest page.
constexpr uint64_t kOverflowReach = 64 * 1024;

// Everything the writer touches while a crash is handled lives here, in static storage,
// so that nothing is allocated then. One crash at a time uses it.
struct Arena {
    char mapsText[512 * 1024];
    size_t mapsLength;
    char statusText[16 * 1024];
    size_t statusLength;
    MapsEntry maps[4096];
    DumpModule modules[1024];
    uint32_t threads[4096];
    char directoryScratch[8192];
    char16_t nameScratch[4096 + 1];
    Directory directory[kStreamCount];
    size_t directoryCount;
    DumpContext context;
    SystemInfo systemInfo;
    char16_t csdVersion[512];
    size_t csdLength;
};

Arena g_arena;

// Reads a whole /proc file into the buffer, as much of it as fits.
size_t readProcFile(const char* path, char* buffer, size_t capacity) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    size_t length = 0;
    while (length < capacity) {
        const ssize_t got = ::read(fd, buffer + length, capacity - length);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        length += static_cast<size_t>(got);
    }
    ::close(fd);
    return length;
}

// The ids of every thread of the process, from /proc/self/task.
size_t listThreads(uint32_t* out, size_t capacity) {
    const int fd = ::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    size_t count = 0;
    char* scratch = g_arena.directoryScratch;
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, scratch, sizeof g_arena.directoryScratch);
        if (got <= 0) {
            break;
        }
        for (long at = 0; at < got;) {
            // linux_dirent64: inode (8), offset (8), record length (2), type (1), name.
            uint16_t recordLength = 0;
            std::memcpy(&recordLength, scratch + at + 16, sizeof recordLength);
            const char* name = scratch + at + 19;
            uint32_t id = 0;
            bool numeric = *name != '\0';
            for (const char* c = name; *c != '\0'; ++c) {
                numeric = numeric && *c >= '0' && *c <= '9';
                id = id * 10 + static_cast<uint32_t>(*c - '0');
            }
            if (numeric && count < capacity) {
                out[count++] = id;
            }
            if (recordLength == 0) {
                break;
            }
            at += recordLength;
        }
    }
    ::close(fd);
    return count;
}

void addStream(StreamType type, LocationDescriptor location) {
    if (g_arena.directoryCount < kStreamCount) {
        g_arena.directory[g_arena.directoryCount++] = Directory{type, location};
    }
}

// A length-prefixed, zero-terminated UTF-16 string, as module names and the CSD use.
LocationDescriptor appendString(DumpOutput& out, const char16_t* units, size_t count) {
    out.align(4);
    const uint32_t bytes = static_cast<uint32_t>(count * sizeof(char16_t));
    const LocationDescriptor at = out.appendRecord(bytes);
    out.append(units, bytes);
    const char16_t terminator = 0;
    out.appendRecord(terminator);
    return at;
}

void writeSystemInfo(DumpOutput& out) {
    SystemInfo info = g_arena.systemInfo;
    info.csdVersionRva = appendString(out, g_arena.csdVersion, g_arena.csdLength).rva;
    out.align(8);
    addStream(StreamType::SystemInfo, out.appendRecord(info));
    MiscInfo misc{};
    misc.sizeOfInfo = sizeof misc;
    misc.flags1 = kMiscFlagProcessId;
    misc.processId = static_cast<uint32_t>(::getpid());
    addStream(StreamType::MiscInfo, out.appendRecord(misc));
}

// The exception record, and the faulting thread's context it points at.
LocationDescriptor writeException(DumpOutput& out, const MINIDUMP_EXCEPTION_INFORMATION& info) {
    const EXCEPTION_POINTERS& pointers = *info.ExceptionPointers;
    fillDumpContext(pointers.context, g_arena.context);
    out.align(16);
    const LocationDescriptor context = out.appendRecord(g_arena.context);

    ExceptionStream stream{};
    stream.threadId = info.ThreadId;
    stream.exceptionRecord.exceptionCode = static_cast<uint32_t>(pointers.signalNumber);
    const siginfo_t* signal = pointers.signalInfo;
    if (signal != nullptr) {
        stream.exceptionRecord.exceptionFlags = static_cast<uint32_t>(signal->si_code);
        // Only a fault the kernel reports carries an address; a sent signal does not.
        const int number = pointers.signalNumber;
        const bool fault =
            number == SIGSEGV || number == SIGBUS || number == SIGILL || number == SIGFPE;
        if (fault && signal->si_code > 0) {
            stream.exceptionRecord.exceptionAddress = reinterpret_cast<uint64_t>(signal->si_addr);
        }
    }
    stream.threadContext = context;
    addStream(StreamType::Exception, out.appendRecord(stream));
    return context;
}

// The thread list (only the faulting thread has a context and stack) and the memory list
// that lets debuggers read that stack.
void writeThreads(DumpOutput& out, const MINIDUMP_EXCEPTION_INFORMATION& info, const MapsView& maps,
                  LocationDescriptor context) {
    const uint64_t sp = stackPointerOf(info.ExceptionPointers->context);
    MemoryDescriptor stack{};
    const MapsEntry* region = maps.findAtOrAbove(sp);
    // A thread's stack overflow leaves the stack pointer in the guard page below its stack.
    if (region != nullptr && !region->readable && region->start <= sp) {
        region = maps.findAtOrAbove(region->end);
    }
    if (region != nullptr && region->readable &&
        (region->start <= sp || region->start - sp <= kOverflowReach)) {
        const uint64_t anchor = sp < region->start ? region->start : sp;
        const uint64_t low =
            anchor - region->start > kStackBelow ? anchor - kStackBelow : region->start;
        const uint64_t high =
            region->end - anchor > kStackAbove ? anchor + kStackAbove : region->end;
        out.align(16);
        stack.startOfMemoryRange = low;
        stack.memory = out.appendMemory(low, high - low);
    }

    size_t count = listThreads(g_arena.threads, sizeof g_arena.threads / sizeof(uint32_t));
    bool listed = false;
    for (size_t i = 0; i < count; ++i) {
        listed = listed || g_arena.threads[i] == info.ThreadId;
    }
    if (!listed && count < sizeof g_arena.threads / sizeof(uint32_t)) {
        g_arena.threads[count++] = info.ThreadId;
    }
    out.align(8);
    const uint32_t threadCount = static_cast<uint32_t>(count);
    LocationDescriptor list = out.appendRecord(threadCount);
    for (size_t i = 0; i < count; ++i) {
        Thread thread{};
        thread.threadId = g_arena.threads[i];
        if (thread.threadId == info.ThreadId) {
            thread.stack = stack;
            thread.context = context;
        }
        out.appendRecord(thread);
    }
    list.dataSize = out.position() - list.rva;
    addStream(StreamType::ThreadList, list);

    const uint32_t rangeCount = stack.memory.dataSize != 0 ? 1 : 0;
    LocationDescriptor memory = out.appendRecord(rangeCount);
    if (rangeCount != 0) {
        out.appendRecord(stack);
    }
    memory.dataSize = out.position() - memory.rva;
    addStream(StreamType::MemoryList, memory);
}

void writeModules(DumpOutput& out, const MapsView& maps) {
    const size_t count =
        collectModules(maps, g_arena.modules, sizeof g_arena.modules / sizeof(DumpModule));
    // Names and code-view records go first, so that each entry can point at them.
    constexpr size_t kNameCapacity = sizeof g_arena.nameScratch / sizeof(char16_t);
    for (size_t i = 0; i < count; ++i) {
        DumpModule& module = g_arena.modules[i];
        size_t units =
            utf8ToUtf16(module.path, module.pathLength, g_arena.nameScratch, kNameCapacity);
        units = units < kNameCapacity ? units : kNameCapacity;
        module.nameRva = appendString(out, g_arena.nameScratch, units).rva;
        if (module.buildIdLength != 0) {
            out.align(4);
            module.cvRva = out.appendRecord(kCvSignatureElfBuildId).rva;
            out.append(module.buildId, module.buildIdLength);
        }
    }
    out.align(8);
    const uint32_t moduleCount = static_cast<uint32_t>(count);
    LocationDescriptor list = out.appendRecord(moduleCount);
    for (size_t i = 0; i < count; ++i) {
        const DumpModule& module = g_arena.modules[i];
        Module entry{};
        entry.baseOfImage = module.base;
        entry.sizeOfImage = static_cast<uint32_t>(module.end - module.base);
        entry.moduleNameRva = module.nameRva;
        if (module.buildIdLength != 0) {
            entry.cvRecord = LocationDescriptor{
                static_cast<uint32_t>(sizeof kCvSignatureElfBuildId + module.buildIdLength),
                module.cvRva};
        }
        out.appendRecord(entry);
    }
    list.dataSize = out.position() - list.rva;
    addStream(StreamType::ModuleList, list);
}

}  // namespace

void prepareMiniDumpWriter() {
    SystemInfo& info = g_arena.systemInfo;
    info = SystemInfo{};
    info.processorArchitecture = kDumpProcessorArchitecture;
    info.platformId = kPlatformLinux;
    const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    info.numberOfProcessors = static_cast<uint8_t>(processors < 1     ? 1
                                                   : processors > 255 ? 255
                                                                      : processors);
    fillProcessorInfo(info);

    // The kernel release gives the version numbers; the whole uname text is the CSD.
    struct utsname name {};
    g_arena.csdLength = 0;
    if (::uname(&name) != 0) {
        return;
    }
    uint32_t* numbers[] = {&info.majorVersion, &info.minorVersion, &info.buildNumber};
    const char* at = name.release;
    for (uint32_t* number : numbers) {
        while (*at >= '0' && *at <= '9') {
            *number = *number * 10 + static_cast<uint32_t>(*at++ - '0');
        }
        if (*at != '.') {
            break;
        }
        ++at;
    }
    char csd[sizeof name.sysname + sizeof name.release + sizeof name.version + 4] = {};
    size_t length = 0;
    for (const char* part : {name.sysname, name.release, name.version, name.machine}) {
        const size_t partLength = ::strnlen(part, sizeof name.release);
        if (length != 0 && length < sizeof csd) {
            csd[length++] = ' ';
        }
        const size_t room = sizeof csd - length;
        const size_t copied = partLength < room ? partLength : room;
        std::memcpy(csd + length, part, copied);
        length += copied;
    }
    constexpr size_t kCsdCapacity = sizeof g_arena.csdVersion / sizeof(char16_t);
    const size_t units = utf8ToUtf16(csd, length, g_arena.csdVersion, kCsdCapacity);
    g_arena.csdLength = units < kCsdCapacity ? units : kCsdCapacity;
}

bool MiniDumpWriteDump(int file, const MINIDUMP_EXCEPTION_INFORMATION& exception) {
    if (exception.ExceptionPointers == nullptr || exception.ExceptionPointers->context == nullptr) {
        return false;
    }
    DumpOutput out(file);
    g_arena.directoryCount = 0;
    std::memset(g_arena.directory, 0, sizeof g_arena.directory);
    Header header{};
    out.appendRecord(header);
    out.append(g_arena.directory, sizeof g_arena.directory);

    g_arena.mapsLength = readProcFile("/proc/self/maps", g_arena.mapsText, sizeof g_arena.mapsText);
    g_arena.statusLength =
        readProcFile("/proc/self/status", g_arena.statusText, sizeof g_arena.statusText);
    MapsView maps(g_arena.maps, sizeof g_arena.maps / sizeof(MapsEntry));
    maps.parse(g_arena.mapsText, g_arena.mapsLength);

    writeSystemInfo(out);
    const LocationDescriptor context = writeException(out, exception);
    writeThreads(out, exception, maps, context);
    writeModules(out, maps);
    out.align(8);
    addStream(StreamType::LinuxMaps, out.append(g_arena.mapsText, g_arena.mapsLength));
    addStream(StreamType::LinuxProcStatus, out.append(g_arena.statusText, g_arena.statusLength));

    header.signature = kSignature;
    header.version = kVersion;
    header.numberOfStreams = static_cast<uint32_t>(g_arena.directoryCount);
    header.streamDirectoryRva = sizeof header;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    header.timeDateStamp = static_cast<uint32_t>(now.tv_sec);
    out.patch(sizeof header, g_arena.directory, sizeof g_arena.directory);
    out.patch(0, &header, sizeof header);
    return out.ok() && g_arena.directoryCount == kStreamCount;
}
