// The window library's skin: an archive (or a layout text, packed into an archive with the
// pop-up's pictures) becomes a window through the headless backend, or a refusal; either
// way nothing crashes or leaks and the window goes again cleanly.
//
// Input: a zip archive ("PK..."), whose FloatDlg.xml is the layout; or the layout's text.
#include <zip.h>

#include <fstream>
#include <iterator>
#include <map>
#include <span>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "platform/ui/UIHeadless.h"
#include "platform/ui/UIMessageCore.h"
#include "platform/ui/UITrace.h"
#include "platform/ui/UIlib.h"

namespace {

using Bytes = std::string;

class SkinWindow : public WindowImplBase {
public:
    explicit SkinWindow(std::span<const std::uint8_t> archive) : m_archive(archive) {}

    LPCTSTR GetWindowClassName() const override { return L"FuzzDlg"; }
    CDuiString GetSkinFolder() override { return L""; }
    CDuiString GetSkinFile() override { return L"FloatDlg.xml"; }
    UILIB_RESOURCETYPE GetResourceType() const override { return UILIB_ZIPRESOURCE; }
    UINT GetResourceID() const override { return 1; }
    std::span<const std::uint8_t> GetProgramResource(ProgramResource kind, UINT) const override {
        return kind == ProgramResource::SkinArchive ? m_archive : std::span<const std::uint8_t>();
    }

private:
    std::span<const std::uint8_t> m_archive;
};

// The pop-up's pictures, which layouts name.
const std::map<std::string, Bytes>& skinPictures() {
    static const std::map<std::string, Bytes> pictures = [] {
        std::map<std::string, Bytes> read;
        for (const char* name : {"float_bg.png", "close.png", "close_hover.png", "shadow.png"}) {
            std::ifstream in(std::string(KESTROVA_SOURCE_DIR "/ui/skin/") + name, std::ios::binary);
            read[name].assign(std::istreambuf_iterator<char>(in), {});
        }
        return read;
    }();
    return pictures;
}

// An archive of the pictures and the layout, stored uncompressed, written in memory.
Bytes packSkin(std::string_view layout) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(buffer);
    zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    FUZZ_CHECK(archive != nullptr);
    auto add = [archive](const std::string& name, std::string_view bytes) {
        zip_source_t* entry = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        const zip_int64_t index = zip_file_add(archive, name.c_str(), entry, ZIP_FL_ENC_UTF_8);
        FUZZ_CHECK(index >= 0);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    };
    add("FloatDlg.xml", layout);
    for (const auto& [name, bytes] : skinPictures()) {
        add(name, bytes);
    }
    FUZZ_CHECK(zip_close(archive) == 0);
    Bytes packed;
    zip_stat_t st;
    FUZZ_CHECK(zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0);
    packed.resize(static_cast<std::size_t>(st.size));
    FUZZ_CHECK(zip_source_read(buffer, packed.data(), st.size) ==
               static_cast<zip_int64_t>(st.size));
    zip_source_close(buffer);
    zip_source_free(buffer);
    zip_error_fini(&error);
    return packed;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kestrova::ui::setTraceSink([](std::string_view) {});
    kestrova::ui::installBackend(std::make_unique<kestrova::ui::HeadlessBackend>());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = kestrova::fuzz::text(data, size);
    const Bytes archive = input.starts_with("PK") ? Bytes(input) : packSkin(input);
    SkinWindow window({reinterpret_cast<const std::uint8_t*>(archive.data()), archive.size()});
    HWND handle = window.Create(nullptr, L"fuzz", 0x10CF0000, 0x00020080);
    if (handle != nullptr) {
        // Laid out at the layout's size on creation; once more at another size.
        SetWindowPos(handle, nullptr, 0, 0, 700, 50, SWP_NOMOVE);
        window.GetPaintManager().FindControl(POINT{10, 10});
        DestroyWindow(handle);
    }
    kestrova::ui::pumpMessages(0);
    return 0;
}
