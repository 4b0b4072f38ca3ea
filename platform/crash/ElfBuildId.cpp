// The GNU build id of a mapped ELF image, read through its program headers in memory.
#include "platform/crash/ElfBuildId.h"

#include <elf.h>

#include <cstring>

namespace kestrova {
namespace {

// Notes are small; a larger segment is not a note segment worth walking.
constexpr uint64_t kMaxNoteBytes = 64 * 1024;
constexpr uint16_t kMaxProgramHeaders = 256;

template <typename T>
bool readMapped(const MapsView& maps, uint64_t address, T& out) {
    if (!maps.isReadable(address, sizeof(T))) {
        return false;
    }
    std::memcpy(&out, reinterpret_cast<const void*>(address), sizeof(T));
    return true;
}

uint64_t alignUp4(uint64_t value) {
    return (value + 3) & ~uint64_t{3};
}

size_t findBuildIdNote(const MapsView& maps, uint64_t address, uint64_t size, uint8_t* out,
                       size_t capacity) {
    if (size > kMaxNoteBytes || !maps.isReadable(address, size)) {
        return 0;
    }
    const uint64_t end = address + size;
    uint64_t at = address;
    while (end - at >= sizeof(Elf64_Nhdr)) {
        Elf64_Nhdr note;
        std::memcpy(&note, reinterpret_cast<const void*>(at), sizeof note);
        const uint64_t name = at + sizeof note;
        const uint64_t desc = name + alignUp4(note.n_namesz);
        const uint64_t next = desc + alignUp4(note.n_descsz);
        if (next > end || next <= at) {
            return 0;
        }
        const bool gnu =
            note.n_namesz == 4 && std::memcmp(reinterpret_cast<const void*>(name), "GNU", 4) == 0;
        if (gnu && note.n_type == NT_GNU_BUILD_ID) {
            if (note.n_descsz == 0 || note.n_descsz > capacity) {
                return 0;
            }
            std::memcpy(out, reinterpret_cast<const void*>(desc), note.n_descsz);
            return note.n_descsz;
        }
        at = next;
    }
    return 0;
}

}  // namespace

bool isMappedElf(const MapsView& maps, uint64_t base) {
    unsigned char ident[SELFMAG];
    return readMapped(maps, base, ident) && std::memcmp(ident, ELFMAG, SELFMAG) == 0;
}

size_t readElfBuildId(const MapsView& maps, uint64_t base, uint8_t* out, size_t capacity) {
    Elf64_Ehdr header;
    if (!isMappedElf(maps, base) || !readMapped(maps, base, header) ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr) ||
        header.e_phnum == 0 || header.e_phnum > kMaxProgramHeaders) {
        return 0;
    }
    // Program headers lie in the first loaded segment, which is mapped at `base`.
    const uint64_t table = base + header.e_phoff;
    const uint64_t tableSize = uint64_t{header.e_phnum} * sizeof(Elf64_Phdr);
    if (!maps.isReadable(table, tableSize)) {
        return 0;
    }
    const auto* headers = reinterpret_cast<const Elf64_Phdr*>(table);

    // Addresses in the headers are relative to the lowest loaded page, which sits at `base`.
    uint64_t firstLoad = UINT64_MAX;
    for (uint16_t i = 0; i < header.e_phnum; ++i) {
        if (headers[i].p_type == PT_LOAD && headers[i].p_vaddr < firstLoad) {
            firstLoad = headers[i].p_vaddr & ~uint64_t{0xfff};
        }
    }
    if (firstLoad == UINT64_MAX) {
        return 0;
    }
    const uint64_t bias = base - firstLoad;
    for (uint16_t i = 0; i < header.e_phnum; ++i) {
        if (headers[i].p_type != PT_NOTE) {
            continue;
        }
        const size_t length =
            findBuildIdNote(maps, bias + headers[i].p_vaddr, headers[i].p_memsz, out, capacity);
        if (length != 0) {
            return length;
        }
    }
    return 0;
}

}  // namespace kestrova
