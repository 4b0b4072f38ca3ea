// The resource table. The data is pulled in by the assembler in this same object file, so
// linking findResource always links the bytes it returns; the bytes sit in a read-only
// section.
#include "platform/resource/Resource.h"

// clang-format off
#define KESTROVA_EMBED(symbol, file)                              \
    ".pushsection .rodata.kestrova." #symbol ",\"a\",@progbits\n" \
    ".balign 16\n"                                                \
    #symbol "_begin:\n"                                           \
    ".incbin \"" file "\"\n"                                      \
    #symbol "_end:\n"                                             \
    ".popsection\n"
// clang-format on

__asm__(KESTROVA_EMBED(kestrova_skin_zip, KESTROVA_SKIN_ZIP_FILE)
            KESTROVA_EMBED(kestrova_program_icon, KESTROVA_PROGRAM_ICON_FILE));

extern "C" {
// Hidden so the references bind to the labels above without going through a symbol table.
__attribute__((visibility("hidden"))) extern const std::uint8_t kestrova_skin_zip_begin[];
__attribute__((visibility("hidden"))) extern const std::uint8_t kestrova_skin_zip_end[];
__attribute__((visibility("hidden"))) extern const std::uint8_t kestrova_program_icon_begin[];
__attribute__((visibility("hidden"))) extern const std::uint8_t kestrova_program_icon_end[];
}

namespace kestrova {
namespace {

struct ResourceEntry {
    std::string_view type;
    int id;
    const std::uint8_t* begin;
    const std::uint8_t* end;
};

const ResourceEntry kResources[] = {
    {kSkinResourceType, kSkinResourceId, kestrova_skin_zip_begin, kestrova_skin_zip_end},
    {kIconResourceType, kIconResourceId, kestrova_program_icon_begin, kestrova_program_icon_end},
};

}  // namespace

std::span<const std::uint8_t> findResource(std::string_view type, int id) {
    for (const ResourceEntry& entry : kResources) {
        if (entry.type == type && entry.id == id) {
            return {entry.begin, entry.end};
        }
    }
    return {};
}

}  // namespace kestrova
