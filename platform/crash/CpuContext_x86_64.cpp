// The crashing thread's x86-64 registers from the signal's context, and the CPU
// identification the dump's system information carries.
#include <cpuid.h>
#include <ucontext.h>

#include <cstring>

#include "platform/crash/CpuContext.h"

namespace kestrova {
namespace {

uint64_t reg(const ucontext_t& context, int index) {
    return static_cast<uint64_t>(context.uc_mcontext.gregs[index]);
}

}  // namespace

void fillDumpContext(const void* ucontext, DumpContext& out) {
    const auto& context = *static_cast<const ucontext_t*>(ucontext);
    std::memset(&out, 0, sizeof out);
    out.contextFlags = minidump::kContextAmd64Full;
    out.rax = reg(context, REG_RAX);
    out.rcx = reg(context, REG_RCX);
    out.rdx = reg(context, REG_RDX);
    out.rbx = reg(context, REG_RBX);
    out.rsp = reg(context, REG_RSP);
    out.rbp = reg(context, REG_RBP);
    out.rsi = reg(context, REG_RSI);
    out.rdi = reg(context, REG_RDI);
    out.r8 = reg(context, REG_R8);
    out.r9 = reg(context, REG_R9);
    out.r10 = reg(context, REG_R10);
    out.r11 = reg(context, REG_R11);
    out.r12 = reg(context, REG_R12);
    out.r13 = reg(context, REG_R13);
    out.r14 = reg(context, REG_R14);
    out.r15 = reg(context, REG_R15);
    out.rip = reg(context, REG_RIP);
    out.eflags = static_cast<uint32_t>(reg(context, REG_EFL));
    // The kernel packs cs, gs, fs and ss into one word, 16 bits each.
    const uint64_t segments = reg(context, REG_CSGSFS);
    out.segCs = static_cast<uint16_t>(segments);
    out.segGs = static_cast<uint16_t>(segments >> 16);
    out.segFs = static_cast<uint16_t>(segments >> 32);
    out.segSs = static_cast<uint16_t>(segments >> 48);
    // The kernel saves the floating-point state in the FXSAVE image the dump format uses.
    if (context.uc_mcontext.fpregs != nullptr) {
        static_assert(sizeof(*context.uc_mcontext.fpregs) == sizeof out.fxsave);
        std::memcpy(out.fxsave, context.uc_mcontext.fpregs, sizeof out.fxsave);
        out.mxCsr = context.uc_mcontext.fpregs->mxcsr;
    }
}

uint64_t stackPointerOf(const void* ucontext) {
    return reg(*static_cast<const ucontext_t*>(ucontext), REG_RSP);
}

uint64_t instructionPointerOf(const void* ucontext) {
    return reg(*static_cast<const ucontext_t*>(ucontext), REG_RIP);
}

void fillProcessorInfo(minidump::SystemInfo& info) {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0) {
        return;
    }
    std::memcpy(info.vendorId, &ebx, 4);
    std::memcpy(info.vendorId + 4, &edx, 4);
    std::memcpy(info.vendorId + 8, &ecx, 4);
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return;
    }
    info.versionInformation = eax;
    info.featureInformation = edx;
    // Family and model, with the extended fields folded in as processors report them.
    const unsigned family = (eax >> 8 & 0xf) + (((eax >> 8 & 0xf) == 0xf) ? (eax >> 20 & 0xff) : 0);
    const unsigned model = (eax >> 4 & 0xf) | (eax >> 12 & 0xf0);
    info.processorLevel = static_cast<uint16_t>(family);
    info.processorRevision = static_cast<uint16_t>(model << 8 | (eax & 0xf));
    if (__get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx) != 0) {
        info.amdExtendedCpuFeatures = ebx;
    }
}

}  // namespace kestrova
